#pragma once
// The pages that show the settings: the main window's tabs with their sub-pages, in tab order, and
// the filter window. Every setting row names its page by the object name here, so any front end can
// say where a setting is shown.
#include <string>
#include <string_view>
#include <vector>

namespace zyvora {

struct PageDecl {
    std::string name;     // object name of the page, e.g. "TabSheet_radio"
    std::string caption;  // its tab
    std::string tabs;     // object name of the tab control that holds the sub-pages
    bool button_tabs = false;     // sub-page tabs drawn as buttons
    std::vector<PageDecl> pages;  // sub-pages, in tab order
};

// The main window's tabs.
const std::vector<PageDecl>& page_tree();

// The rows of the filter window, a page of their own outside the tabs.
inline constexpr std::string_view kFilterWindowPage = "TForm4_rows";

// The captions from the top tab down to `page` ("Remote access", "WWW"); the filter window's
// caption alone for its rows; empty for a name that is no page.
std::vector<std::string> page_path(std::string_view page);

// page_path joined with " / ", or `page` itself when it is no page.
std::string page_caption(std::string_view page);

}  // namespace zyvora
