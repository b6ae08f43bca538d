#pragma once
// The tab pages of the main window, laid out from the settings model's page tree.
#include <vector>

#include "page_tree.h"

class QTabWidget;
class QWidget;

namespace zyvora_app {

class MultiRowTabWidget;

using zyvora::PageDecl;
using zyvora::page_tree;

// Adds `pages` to `tabs`, each page with sub-pages holding its own tab control that fills it.
void add_pages(MultiRowTabWidget* tabs, const std::vector<PageDecl>& pages);

// The tab control of a page that has sub-pages; nullptr for a page without.
QTabWidget* sub_tabs(QWidget* page);

}  // namespace zyvora_app
