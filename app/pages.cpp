#include "pages.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "multi_row_tabs.h"

namespace zyvora_app {

namespace {

// Raised, framed tabs with a pressed look for the current one, in the palette's own colours so
// that they read under a dark palette as under a light one.
constexpr const char* kButtonTabs =
    "QTabBar::tab {"
    "  border: 1px solid palette(dark); border-radius: 3px; padding: 2px 8px; margin: 2px 3px 3px 0px;"
    "  color: palette(button-text);"
    "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 palette(light), stop:1 palette(button));"
    "}"
    "QTabBar::tab:selected { background: palette(mid); border-color: palette(shadow); }"
    "QTabBar::tab:hover:!selected { background: palette(midlight); }"
    "QTabBar::tab:selected:focus { border: 2px dotted palette(button-text); }";

// The focus frame the style draws on a tab is too faint to find: a dotted ring in the text's
// colour, which stands out from the tab in any palette, is drawn instead.
class FocusRingStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
        if (element != CE_TabBarTab || !tab || !(tab->state & State_HasFocus)) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionTab unfocused = *tab;
        unfocused.state &= ~State_HasFocus;
        QProxyStyle::drawControl(element, &unfocused, painter, widget);
        const int inset = pixelMetric(PM_DefaultFrameWidth, option, widget) + 2;
        painter->save();
        painter->setPen(QPen(option->palette.color(QPalette::WindowText), 2, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(inset, inset, -inset - 1, -inset));
        painter->restore();
    }
};

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
        } else {
            auto* style = new FocusRingStyle;
            style->setParent(inner->tabBar());
            inner->tabBar()->setStyle(style);
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
