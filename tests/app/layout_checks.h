#pragma once
// Geometry checks of the window's pages, shared by the tests that run them at several scales.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTabWidget>
#include <QtTest>

#include "main_window.h"
#include "multi_row_tabs.h"

inline QString text_of(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    if (auto* check = qobject_cast<QCheckBox*>(widget)) return check->isChecked() ? "checked" : "clear";
    return "?";
}

// Makes `page` visible: every tab control above it shows the page that holds it. The event loop
// is left alone, so that a page built as it is shown is seen as it is at once.
inline void make_current_now(QWidget* page) {
    for (QWidget* w = page; w; w = w->parentWidget()) {
        auto* stack = w->parentWidget();
        QWidget* holder = stack ? stack->parentWidget() : nullptr;
        if (auto* tabs = qobject_cast<QTabWidget*>(holder); tabs && tabs->indexOf(w) >= 0) tabs->setCurrentWidget(w);
        if (auto* tabs = qobject_cast<zyvora_app::MultiRowTabWidget*>(holder); tabs && tabs->indexOf(w) >= 0) {
            tabs->setCurrentWidget(w);
        }
    }
}

inline void make_current(QWidget* page) {
    make_current_now(page);
    QCoreApplication::processEvents();
}

inline QList<QWidget*> leaf_widgets(QWidget* under) {
    QList<QWidget*> found;
    for (QWidget* w : under->findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        if (qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
            qobject_cast<QAbstractButton*>(w)) {
            found << w;
        }
    }
    return found;
}

// Nothing reaches outside `area`, nothing overlaps, and no text is cut short.
inline void check_tidy(QWidget* area, const QList<QWidget*>& widgets) {
    for (int i = 0; i < widgets.size(); ++i) {
        QWidget* w = widgets[i];
        const QRect rect(w->mapTo(area, QPoint(0, 0)), w->size());
        QVERIFY2(area->rect().contains(rect),
                 qPrintable(w->objectName() + " " + text_of(w) + " reaches outside " + area->objectName()));
        if (!qobject_cast<QLineEdit*>(w)) {
            QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName() + " is cut short"));
        }
        for (int j = i + 1; j < widgets.size(); ++j) {
            const QRect other(widgets[j]->mapTo(area, QPoint(0, 0)), widgets[j]->size());
            QVERIFY2(!rect.intersects(other), qPrintable(w->objectName() + " overlaps " + widgets[j]->objectName()));
        }
    }
}

// The pages that show setting controls, each once.
inline QList<QWidget*> pages_with_controls(zyvora_app::TForm1& window) {
    QList<QWidget*> pages;
    const auto& store = window.store();
    for (std::size_t i = 0; i < store.size(); ++i) {
        auto* page = window.findChild<QWidget*>(QString::fromStdString(store.decl(static_cast<int>(i)).page));
        if (!pages.contains(page)) pages << page;
    }
    return pages;
}

// Every page with controls, current in turn in the shown window: tidy, and every edit shows its
// start-up text whole.
inline void check_every_page_tidy(zyvora_app::TForm1& window) {
    for (QWidget* page : pages_with_controls(window)) {
        make_current(page);
        QWidget* other_window = page->window() != &window ? page->window() : nullptr;  // the filter window
        if (other_window) other_window->show();
        QVERIFY(page->isVisible());
        check_tidy(page, leaf_widgets(page));
        if (QTest::currentTestFailed()) return;
        for (auto* edit : page->findChildren<QLineEdit*>()) {
            QVERIFY2(edit->fontMetrics().horizontalAdvance(edit->text()) + 8 <= edit->width(),
                     qPrintable(edit->objectName() + " cuts its text short"));
        }
        if (other_window) {
            QVERIFY(other_window->rect().contains(page->geometry()));
            other_window->hide();
        }
    }
}
