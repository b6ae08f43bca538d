#include "pages.h"

#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "multi_row_tabs.h"

namespace zyvora_app {

namespace {

// Raised, framed tabs with a pressed look for the current one.
constexpr const char* kButtonTabs =
    "QTabBar::tab {"
    "  border: 1px solid #8c8c8c; border-radius: 3px; padding: 2px 8px; margin: 2px 3px 3px 0px;"
    "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fcfcfc, stop:1 #dedede);"
    "}"
    "QTabBar::tab:selected { background: #cfcfcf; border-color: #5c5c5c; }"
    "QTabBar::tab:hover:!selected { background: #eaf2fb; }";

template <class Tabs>
void add_pages_to(Tabs* tabs, const std::vector<PageDecl>& pages) {
    for (const PageDecl& decl : pages) {
        auto* page = new QWidget;
        page->setObjectName(QString::fromStdString(decl.name));
        tabs->addTab(page, QString::fromStdString(decl.caption));
        if (decl.pages.empty()) continue;

        auto* inner = new QTabWidget(page);
        inner->setObjectName(QString::fromStdString(decl.tabs));
        if (decl.button_tabs) {
            inner->setDocumentMode(true);
            inner->tabBar()->setStyleSheet(QString::fromLatin1(kButtonTabs));
        }
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->addWidget(inner);
        add_pages_to(inner, decl.pages);
    }
}

}  // namespace

void add_pages(MultiRowTabWidget* tabs, const std::vector<PageDecl>& pages) { add_pages_to(tabs, pages); }

QTabWidget* sub_tabs(QWidget* page) {
    return page->findChild<QTabWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace zyvora_app
