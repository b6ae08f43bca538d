#pragma once
// The tab pages of the main window: captions, object names and sub-pages, in tab order.
#include <string>
#include <vector>

class QTabWidget;
class QWidget;

namespace zyvora_app {

class MultiRowTabWidget;

struct PageDecl {
    std::string name;     // object name of the page, e.g. "TabSheet_radio"
    std::string caption;  // its tab
    std::string tabs;     // object name of the tab control that holds the sub-pages
    bool button_tabs = false;     // sub-page tabs drawn as buttons
    std::vector<PageDecl> pages;  // sub-pages, in tab order
};

const std::vector<PageDecl>& page_tree();

// Adds `pages` to `tabs`, each page with sub-pages holding its own tab control that fills it.
void add_pages(MultiRowTabWidget* tabs, const std::vector<PageDecl>& pages);

// The tab control of a page that has sub-pages; nullptr for a page without.
QTabWidget* sub_tabs(QWidget* page);

}  // namespace zyvora_app
