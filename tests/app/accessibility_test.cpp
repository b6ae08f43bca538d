// What a screen reader finds around the pages, through Qt's accessibility interfaces: the page
// tab list, the status log and the progress bar, the Tab order round the page, the dialogs'
// fields, and a focus on the tabs that can be seen. What switching tabs announces goes through
// the platform's bridge, which the offscreen platform leaves off: scripts/a11y-check.py hears it.
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>
#include <cmath>

#include "device_chooser.h"
#include "help_window.h"
#include "main_window.h"
#include "multi_row_tabs.h"
#include "palettes.h"
#include "recorder.h"
#include "send_dialog.h"
#include "window_feedback.h"

using zyvora_app::MultiRowTabWidget;
using zyvora_app::PageBuilding;
using zyvora_app::TForm1;

namespace {

const QStringList kCaptions = {"Radio",           "Digipeater",      "Beacons",       "Network",
                               "APRS-IS gateway", "RTC/NTP time",    "Remote access", "Telemetry reports",
                               "Weather reports", "Ext. interfaces", "Other"};

QAccessibleInterface* accessible(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

// The page tab list among the children of the tab widget's interface.
QAccessibleInterface* tab_list(MultiRowTabWidget* tabs) {
    QAccessibleInterface* widget = accessible(tabs);
    for (int i = 0; widget && i < widget->childCount(); ++i) {
        if (widget->child(i)->role() == QAccessible::PageTabList) return widget->child(i);
    }
    return nullptr;
}

// Each tab as "caption [selected] [focused]", or what is wrong with it.
QStringList read_tabs(QAccessibleInterface* list) {
    QStringList tabs;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* tab = list->child(i);
        QString read =
            tab->role() == QAccessible::PageTab ? tab->text(QAccessible::Name) : QStringLiteral("(not a tab)");
        if (tab->state().selected) read += QStringLiteral(" [selected]");
        if (tab->state().focused) read += QStringLiteral(" [focused]");
        if (tab->parent() != list || list->indexOfChild(tab) != i) read += QStringLiteral(" (lost from its list)");
        tabs << read;
    }
    return tabs;
}

QStringList with_marks(int current, const QString& marks) {
    QStringList tabs = kCaptions;
    tabs[current] += marks;
    return tabs;
}

double luminance(QColor c) {
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(QColor a, QColor b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        recorder = std::make_unique<Recorder>();
        window = shown_window(*recorder);
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        tabs = child<MultiRowTabWidget>(*window, "PageControl1");
    }
    void cleanup() { window.reset(); }

    // Every tab, named by its caption, with the shown page's selected; the pages stay reachable
    // beside the list.
    void the_page_tabs_are_a_page_tab_list() {
        QAccessibleInterface* list = tab_list(tabs);
        QVERIFY(list);
        QCOMPARE(list->parent(), accessible(tabs));
        QCOMPARE(read_tabs(list), with_marks(0, " [selected]"));
        QAccessibleInterface* widget = accessible(tabs);
        QCOMPARE(widget->childCount(), 2);
        QCOMPARE(widget->child(1)->object(), tabs->widget(0)->parentWidget());  // the pages' stack

        tabs->setCurrentIndex(7);
        QCOMPARE(read_tabs(list), with_marks(7, " [selected]"));
        tabs->setFocus();
        QCOMPARE(read_tabs(list), with_marks(7, " [selected] [focused]"));
        QCOMPARE(list->focusChild(), list->child(7));
        QCOMPARE(widget->focusChild(), list->child(7));

        // Pressing a tab, as a screen reader's action does, shows its page.
        QAccessibleInterface* other = list->child(2);
        QCOMPARE(other->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
        other->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(tabs->currentIndex(), 2);
        const QRect shown(tabs->mapToGlobal(tabs->tabRect(2).topLeft()), tabs->tabRect(2).size());
        QCOMPARE(other->rect(), shown);
        QCOMPARE(list->childAt(shown.center().x(), shown.center().y()), other);
    }

    // Named, readable with the arrow keys, and the progress told in pages while a transfer runs.
    void the_log_and_the_progress_bar_say_what_they_are() {
        auto* log = child<QPlainTextEdit>(*window, "Memo1");
        QCOMPARE(accessible(log)->text(QAccessible::Name), QString("Status log"));
        QVERIFY(accessible(log)->state().readOnly);
        QVERIFY(log->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
        window->feedback().log("first line");
        window->feedback().log("second line");
        static_cast<zyvora_app::WindowFeedback&>(window->feedback()).flush();
        log->setFocus();
        log->moveCursor(QTextCursor::Start);
        QTest::keyClick(log, Qt::Key_Down);
        QCOMPARE(log->textCursor().blockNumber(), 1);

        auto* progress = child<QProgressBar>(*window, "ProgressBar1");
        QAccessibleInterface* bar = accessible(progress);
        QCOMPARE(bar->text(QAccessible::Name), QString("Transfer progress"));
        QCOMPARE(bar->text(QAccessible::Description), QString());
        window->feedback().progress_range(0, 512);
        window->feedback().progress_position(123);
        QCOMPARE(bar->text(QAccessible::Description), QString("Page 123 of 512"));
        QCOMPARE(progress->text(), QString("Page 123 of 512"));
        QVERIFY(!progress->isTextVisible());
        window->feedback().progress_position(0);
        QCOMPARE(bar->text(QAccessible::Description), QString());
    }

    // Tab goes from the tabs into the page, then to the log, then round to the buttons; also
    // when the pages are built only as they are shown.
    void the_log_follows_the_page_in_the_tab_order_data() {
        QTest::addColumn<bool>("when_shown");
        QTest::addColumn<int>("page");
        QTest::newRow("Radio, built at once") << false << 0;
        QTest::newRow("Network, built at once") << false << 3;
        QTest::newRow("Digipeater, with sub-pages") << false << 1;
        QTest::newRow("Radio, built when shown") << true << 0;
        QTest::newRow("Network, built when shown") << true << 3;
    }
    void the_log_follows_the_page_in_the_tab_order() {
        QFETCH(bool, when_shown);
        QFETCH(int, page);
        if (when_shown) {
            window = std::make_unique<TForm1>(PageBuilding::when_shown);
            recorder->attach(*window);
            window->show();
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
            tabs = child<MultiRowTabWidget>(*window, "PageControl1");
            QTest::qWait(0);
        }
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
        tabs->setFocus();
        QWidget* shown = tabs->currentWidget();
        int in_page = 0;
        for (int i = 0; i < 200 && QApplication::focusWidget() != child<QWidget>(*window, "Memo1"); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* now = QApplication::focusWidget();
            if (now == child<QWidget>(*window, "Memo1")) break;
            QVERIFY2(shown->isAncestorOf(now), qPrintable(now->objectName()));
            ++in_page;
        }
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(*window, "Memo1"));
        QVERIFY(in_page > 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(*window, "Button4"));
    }

    void the_dialogs_name_their_fields() {
        zyvora_app::SendDialog send("zyvoraplus20.ruf", "192.168.2.2", window.get());
        QCOMPARE(accessible(child<QLineEdit>(send, "SendUpdateAddress"))->text(QAccessible::Name),
                 QString("Device address"));
        zyvora_app::DeviceChooser chooser({"/dev/hidraw1 (serial 1)", "/dev/hidraw2 (serial 2)"}, window.get());
        QCOMPARE(accessible(child<QListWidget>(chooser, "DeviceList"))->text(QAccessible::Name),
                 QString("Attached devices"));
    }

    // The special strings window: its lines take the focus one after the other and read as shown.
    void the_special_strings_are_read_line_by_line() {
        zyvora_app::TForm2 help(window.get());
        help.show();
        help.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &help);
        QStringList read;
        for (int i = 0; i < zyvora_app::TForm2::lines().size(); ++i) {
            auto* line = qobject_cast<QLabel*>(QApplication::focusWidget());
            QVERIFY(line);
            read << accessible(line)->text(QAccessible::Name);
            QTest::keyClick(line, Qt::Key_Tab);
        }
        QCOMPARE(read, zyvora_app::TForm2::lines());
    }

    // The focus shows, at 3:1 against what was there before, on the page tabs, on sub-page tabs
    // of both kinds and on the log, in a light and a dark palette.
    void the_focus_can_be_seen_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("tab_widget");  // empty: the page tabs; "Memo1": the log
        QTest::addColumn<bool>("dark");
        for (const bool dark : {false, true}) {
            const char* palette = dark ? ", dark" : ", light";
            QTest::addRow("page tabs%s", palette) << "TabSheet_radio" << "" << dark;
            QTest::addRow("button-like sub-page tabs%s", palette) << "TabSheet_digipeater" << "PageControl3" << dark;
            QTest::addRow("sub-page tabs%s", palette) << "TabSheet_aprsis_gateway" << "PageControl_aprsis_gateway" << dark;
            QTest::addRow("status log%s", palette) << "TabSheet_radio" << "Memo1" << dark;
        }
    }
    void the_focus_can_be_seen() {
        QFETCH(QString, page);
        QFETCH(QString, tab_widget);
        QFETCH(bool, dark);
        if (dark) window->setPalette(zyvora_app::dark_palette());
        tabs->setCurrentWidget(window->findChild<QWidget*>(page));
        QWidget* focused = tabs;
        QRect area = tabs->tabRect(tabs->currentIndex());
        if (tab_widget == "Memo1") {
            focused = child<QWidget>(*window, "Memo1");
            area = focused->rect();
        } else if (!tab_widget.isEmpty()) {
            QTabBar* bar = window->findChild<QTabWidget*>(tab_widget)->tabBar();
            focused = bar;
            area = bar->tabRect(bar->currentIndex());
        }
        window->setFocus();
        QCoreApplication::processEvents();
        const QImage before = focused->grab(area).toImage();
        focused->setFocus();
        QVERIFY(focused->hasFocus());
        const QImage after = focused->grab(area).toImage();
        // Pixels that change by 3:1 at least, as many as go along the tab or the log once.
        int strong = 0;
        for (int y = 0; y < before.height(); ++y) {
            for (int x = 0; x < before.width(); ++x) {
                if (contrast(before.pixelColor(x, y), after.pixelColor(x, y)) >= 3) ++strong;
            }
        }
        QVERIFY2(strong > area.width(), qPrintable(QString::number(strong)));
    }

    // The red note on the APRS-IS page reads at 4.5:1 on the page, in a light palette and a dark
    // one set after the page was built, and keeps its dark red where the palette is light.
    void the_red_note_reads_on_any_palette_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void the_red_note_reads_on_any_palette() {
        QFETCH(bool, dark);
        QLabel* note = nullptr;
        for (auto* label : child<QWidget>(*window, "TabSheet_aprsis_server")->findChildren<QLabel*>()) {
            if (label->text().startsWith("Note that filter settings")) note = label;
        }
        QVERIFY(note);
        if (dark) window->setPalette(zyvora_app::dark_palette());
        const QColor text = note->palette().color(QPalette::WindowText);
        const QColor page = note->palette().color(QPalette::Window);
        QVERIFY2(contrast(text, page) >= 4.5, qPrintable(text.name() + " on " + page.name()));
        QCOMPARE(text.hslHue(), 0);  // still red
        if (!dark) QCOMPARE(text, QColor(0xc0, 0x00, 0x00));
        window->setPalette(QPalette());
        QCOMPARE(note->palette().color(QPalette::WindowText), QColor(0xc0, 0x00, 0x00));
    }

private:
    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
    MultiRowTabWidget* tabs = nullptr;
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
