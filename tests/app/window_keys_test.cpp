// How the window answers the keyboard and keeps the user informed: the page keys from any
// control, the buttons' mnemonics, the file, quit and help keys, the web address that opens the
// browser, the status log that shows its lines while a transfer runs, and start-up boxes that
// wait for the painted window.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QWhatsThis>
#include <QtTest>
#include <chrono>

#include "controls.h"
#include "device_flows.h"
#include "folders.h"
#include "main_window.h"
#include "multi_row_tabs.h"
#include "operations.h"
#include "pages.h"
#include "recorder.h"
#include "registry.h"
#include "simulated_device.h"

using zyvora_app::BoxKind;
using zyvora_app::MultiRowTabWidget;
using zyvora_app::TForm1;

namespace {

// The pages a user sees, in order: a page's sub-pages stand for it.
QStringList pages_in_order() {
    QStringList names;
    for (const auto& page : zyvora_app::page_tree()) {
        if (page.pages.empty()) names << QString::fromStdString(page.name);
        for (const auto& sub : page.pages) names << QString::fromStdString(sub.name);
    }
    return names;
}

// The page shown: the current sub-page of the current page, if it has them.
QString shown_page(TForm1& window) {
    QWidget* page = child<MultiRowTabWidget>(window, "PageControl1")->currentWidget();
    if (QTabWidget* inner = zyvora_app::sub_tabs(page)) return inner->currentWidget()->objectName();
    return page->objectName();
}

// To the control with the focus, as the keyboard sends it.
void press(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClick(focused ? focused : &window, key, modifiers);
}

QByteArray file_bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

const QString kKeysHelp =
    "The pages hold the device's settings. \"Read config\" brings them from the device, \"Write config\" sends "
    "them to it.\n"
    "\n"
    "Keys:\n"
    "F1, Shift+F1: Help on the focused setting\n"
    "Ctrl+O: Read settings from a file\n"
    "Ctrl+S: Save settings to the file last read or saved\n"
    "Ctrl+Shift+S: Save settings to another file\n"
    "Ctrl+H: Show the station history\n"
    "Ctrl+Q: Close the window\n"
    "Ctrl+Tab, Ctrl+PgDown: Show the next page\n"
    "Ctrl+Shift+Tab, Ctrl+PgUp: Show the previous page\n"
    "Alt and the underlined letter: Press that button\n"
    "Esc: Stop the running transfer";

// A setting whose default already fires its change handler, so that start-up has a box to show.
const zyvora::Registry& start_up_box_registry() {
    static const zyvora::Registry registry = [] {
        zyvora::AreaBuilder a("fixture");
        a.page("TabSheet_network");
        a.choice("Fixture_mode", {"Off", "On"}, 1).caption("Mode:").hint("A mode.");
        a.check("Fixture_enable", false).caption("Enabled").hint("A switch.");
        std::vector<zyvora::Area> areas;
        areas.push_back(a.take());
        zyvora::ChangeHandler handler{"Fixture_mode", [](zyvora::ControlStore& store) {
                                          std::vector<std::string> shown;
                                          if (store.index("Fixture_mode") == 1 && !store.checked("Fixture_enable")) {
                                              store.set_checked("Fixture_enable", true);
                                              shown.push_back("Mode is on: the switch follows it.");
                                          }
                                          return shown;
                                      }};
        return zyvora::Registry(std::move(areas), {handler});
    }();
    return registry;
}

}  // namespace

class WindowKeysTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        recorder = std::make_unique<Recorder>();
        window = shown_window(*recorder);
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { window.reset(); }

    // A combo box takes most keys for itself; the page keys still go to the pages.
    void ctrl_tab_from_a_focused_combo_box_shows_the_next_page() {
        auto* combo = child<QWidget>(*window, "TabSheet_radio")->findChild<QComboBox*>();
        QVERIFY(combo);
        combo->setFocus();
        QCOMPARE(QApplication::focusWidget(), combo);
        QTest::keyClick(combo, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(shown_page(*window), QString("TabSheet_common_settings"));
    }

    // Forwards through every page and sub-page and round to the first; backwards the same way
    // reversed; PgDown and PgUp as Tab and Shift+Tab.
    void the_page_keys_go_through_every_page_and_sub_page_in_order_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("forwards");
        QTest::newRow("Ctrl+Tab") << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
        QTest::newRow("Ctrl+PgDown") << int(Qt::Key_PageDown) << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
        QTest::newRow("Ctrl+Shift+Tab") << int(Qt::Key_Backtab)
                                        << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier) << false;
        QTest::newRow("Ctrl+PgUp") << int(Qt::Key_PageUp) << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
    }
    void the_page_keys_go_through_every_page_and_sub_page_in_order() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, forwards);
        QStringList expected = pages_in_order();
        QCOMPARE(expected.size(), 35);
        if (forwards) expected.append(expected.takeFirst());
        else std::reverse(expected.begin(), expected.end());
        child<QWidget>(*window, "Callsign")->setFocus();
        QStringList shown;
        for (int i = 0; i < expected.size(); ++i) {
            press(*window, static_cast<Qt::Key>(key), modifiers);
            shown << shown_page(*window);
        }
        QCOMPARE(shown, expected);
    }

    // Alt and the underlined letter press the button; the captions read as before.
    void the_buttons_have_distinct_mnemonics() {
        const QList<std::pair<const char*, QString>> buttons = {
            {"Button4", "Read config"},  {"Button5", "Write config"},   {"Button3", "Upload firmware"},
            {"Button1", "Save to file"}, {"Button2", "Read from file"}, {"Button12", "Build remote update file"}};
        QList<QKeySequence> mnemonics;
        for (const auto& [name, caption] : buttons) {
            const QString text = child<QPushButton>(*window, name)->text();
            QCOMPARE(QString(text).remove(u'&'), caption);
            const QKeySequence mnemonic = QKeySequence::mnemonic(text);
            QVERIFY2(!mnemonic.isEmpty(), name);
            QVERIFY2(!mnemonics.contains(mnemonic), name);
            mnemonics << mnemonic;
        }
        child<QWidget>(*window, "Callsign")->setFocus();
        // A mnemonic shows the button pressed for a moment, then clicks it.
        press(*window, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(recorder->dialogs.size(), 1);
        press(*window, Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(recorder->dialogs.size(), 2);
        QCOMPARE(recorder->dialogs[0].name, QString("SaveDialog1"));
        QCOMPARE(recorder->dialogs[1].name, QString("OpenDialog2"));
    }

    // Ctrl+S asks for a file only while none has been read or saved; then it writes that file,
    // byte for byte as "Save to file" would. Ctrl+O asks for a file to read, which Ctrl+S then writes.
    void ctrl_s_saves_to_the_current_file() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString station = dir.filePath("station.cfg"), copy = dir.filePath("copy.cfg"),
                      other = dir.filePath("other.cfg");
        auto* callsign = child<QLineEdit>(*window, "Callsign");
        recorder->answers << station;
        press(*window, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(recorder->dialogs.size(), 1);
        QCOMPARE(recorder->dialogs[0].name, QString("SaveDialog1"));
        QVERIFY(QFile::exists(station));

        retype(callsign, "OK1XYZ");
        QVERIFY(window->isWindowModified());
        press(*window, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(recorder->dialogs.size(), 1);
        QVERIFY(!window->isWindowModified());
        recorder->answers << copy;
        QTest::mouseClick(child<QPushButton>(*window, "Button1"), Qt::LeftButton);
        QVERIFY(file_bytes(station).contains("Callsign=OK1XYZ"));
        QCOMPARE(file_bytes(station), file_bytes(copy));

        QFile::copy(station, other);
        recorder->answers << other;
        press(*window, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(recorder->dialogs.size(), 3);
        QCOMPARE(recorder->dialogs[2].name, QString("OpenDialog2"));
        retype(callsign, "DL2AB");
        press(*window, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(recorder->dialogs.size(), 3);
        QVERIFY(file_bytes(other).contains("Callsign=DL2AB"));
        QVERIFY(file_bytes(copy).contains("Callsign=OK1XYZ"));
    }

    // "Save to file" and Ctrl+Shift+S always ask, proposing the file last read or saved where there
    // is one, in its folder unless that has gone since.
    void save_to_file_proposes_the_current_file_data() {
        QTest::addColumn<bool>("by_key");
        QTest::addColumn<bool>("file_read");
        QTest::addColumn<bool>("folder_removed");
        QTest::newRow("Ctrl+Shift+S, no file yet") << true << false << false;
        QTest::newRow("Ctrl+Shift+S, station.cfg read") << true << true << false;
        QTest::newRow("Save to file, station.cfg read") << false << true << false;
        QTest::newRow("Save to file, its folder removed") << false << true << true;
    }
    void save_to_file_proposes_the_current_file() {
        QFETCH(bool, by_key);
        QFETCH(bool, file_read);
        QFETCH(bool, folder_removed);
        zyvora_app::window_settings().remove("Folders");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (file_read) {
            QFile file(dir.filePath("station.cfg"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.13\n[Radio]\nCallsign=DL1ABC\n");
            file.close();
            QVERIFY(window->open_file(file.fileName()));
        }
        if (folder_removed) QVERIFY(dir.remove());
        child<QWidget>(*window, "Callsign")->setFocus();
        if (by_key) press(*window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        else QTest::mouseClick(child<QPushButton>(*window, "Button1"), Qt::LeftButton);
        QCOMPARE(recorder->dialogs.size(), 1);
        QCOMPARE(recorder->dialogs[0].name, QString("SaveDialog1"));
        QCOMPARE(recorder->dialogs[0].file_name, QString(file_read ? "station.cfg" : "zyvoraplus20.cfg"));
        QCOMPARE(recorder->dialogs[0].folder, file_read && !folder_removed ? dir.path() + '/' : documents_or_home());
    }

    // Ctrl+Q closes as the close button does: over unsaved changes it asks first, and Cancel keeps the window.
    void ctrl_q_closes_through_the_question_on_changes() {
        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        recorder->changes_answers = {QMessageBox::Cancel, QMessageBox::Discard};
        press(*window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(window->isVisible());
        press(*window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
        const QString question = "The settings have changes that are not saved to a file, written to the device or "
                                 "built into a remote update file.\nSave them to a file before closing?";
        QCOMPARE(recorder->changes_questions, QList<QString>({question, question}));
    }

    // F1 shows the hint of the focused setting; where no setting has the focus, the window's own
    // help, which tells the keys. The popup shown looks exactly as one showing the expected text.
    void f1_shows_the_help_of_the_focused_setting_data() {
        QTest::addColumn<QString>("focused");
        QTest::addColumn<bool>("setting");
        QTest::addColumn<QString>("help");
        QTest::newRow("Callsign") << "Callsign" << true << "Station callsign.";
        QTest::newRow("a button") << "Button4" << false << kKeysHelp;
    }
    void f1_shows_the_help_of_the_focused_setting() {
        QFETCH(QString, focused);
        QFETCH(bool, setting);
        QFETCH(QString, help);
        QWidget* widget = child<QWidget>(*window, qPrintable(focused));
        widget->setFocus();
        press(*window, Qt::Key_F1, Qt::NoModifier);
        const QImage shown = shown_whats_this();
        QVERIFY(!shown.isNull());
        QWhatsThis::showText(QPoint(0, 0), help, setting ? widget : window.get());
        QCOMPARE(shown, shown_whats_this());
    }

    // Each key is an action of the window, named by what it does; a screen reader reads the keys in
    // the window's description.
    void the_window_keys_are_named_actions() {
        const QList<std::tuple<const char*, QString, QList<QKeySequence>>> actions = {
            {"ActionReadFromFile", "Read settings from a file", {QKeySequence("Ctrl+O")}},
            {"ActionSave", "Save settings to the file last read or saved", {QKeySequence("Ctrl+S")}},
            {"ActionSaveAs", "Save settings to another file", {QKeySequence("Ctrl+Shift+S")}},
            {"ActionStationHistory", "Show the station history", {QKeySequence("Ctrl+H")}},
            {"ActionQuit", "Close the window", {QKeySequence("Ctrl+Q")}},
            {"ActionHelp", "Help on the focused setting", {QKeySequence("F1"), QKeySequence("Shift+F1")}},
        };
        for (const auto& [name, text, keys] : actions) {
            auto* action = window->findChild<QAction*>(name);
            QVERIFY2(action && window->actions().contains(action), name);
            QCOMPARE(action->text(), text);
            QCOMPARE(action->shortcuts(), keys);
            QCOMPARE(action->shortcutContext(), Qt::WindowShortcut);
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(window.get())->text(QAccessible::Description), kKeysHelp);
    }

    void the_filter_syntax_address_opens_the_browser() {
        QLabel* found = nullptr;
        for (auto* label : child<QWidget>(*window, "TabSheet_aprsis_server")->findChildren<QLabel*>()) {
            if (label->text().contains("javAPRSFilter")) found = label;
        }
        QVERIFY(found);
        QVERIFY(found->openExternalLinks());
        QVERIFY(found->text().contains(
            "<a href=\"http://www.aprs-is.net/javAPRSFilter.aspx\">http://www.aprs-is.net/javAPRSFilter.aspx</a>"));
        QTextDocument shown;
        shown.setHtml(found->text());
        QCOMPARE(shown.toPlainText(), QString("Filter syntax: http://www.aprs-is.net/javAPRSFilter.aspx"));
    }

    // While a write runs against 1 ms replies, the log is painted again and again with its newest
    // page line in view, not only when the write ends.
    void the_status_log_shows_page_lines_during_a_write() {
        zyvora::SimOptions options;
        options.factory_image = zyvora::factory_image(zyvora::Registry::instance());
        options.reply_latency = std::chrono::microseconds(1000);
        std::string error;
        const auto device = zyvora::SimulatedDevice::create(std::move(options), &error);
        QVERIFY2(device, error.c_str());
        window->set_device_port(std::make_unique<zyvora::SimulatedPort>(*device));
        auto* log = child<QPlainTextEdit>(*window, "Memo1");
        auto* write = child<QPushButton>(*window, "Button5");
        struct PaintWatch : QObject {
            QPlainTextEdit* log;
            QPushButton* write;
            QStringList shown;  // the newest line in view, at each paint of the log during the write
            QList<int> lines;   // how many lines the log held then
            PaintWatch(QPlainTextEdit* l, QPushButton* w) : log(l), write(w) {}
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() != QEvent::Paint || write->isEnabled()) return false;
                const QScrollBar* bar = log->verticalScrollBar();
                const QString last = log->toPlainText().section(u'\n', -1);
                shown << (bar->value() == bar->maximum() ? last : QStringLiteral("(scrolled away from ") + last + u')');
                lines << log->blockCount();
                return false;
            }
        } watch(log, write);
        log->viewport()->installEventFilter(&watch);
        watch.lines << log->blockCount();
        recorder->replies << true;  // yes to the list of what the write changes
        QTest::mouseClick(write, Qt::LeftButton);
        log->viewport()->removeEventFilter(&watch);
        watch.lines << log->blockCount();

        QCOMPARE(log->toPlainText().section(u'\n', -2, -2),
                 QString("Verify success: the device holds every byte that was written."));
        const auto written = std::count_if(watch.shown.begin(), watch.shown.end(),
                                           [](const QString& line) { return line.startsWith("Page written: "); });
        QVERIFY2(written >= 2, qPrintable(watch.shown.join(u',')));
        QVERIFY2(!watch.shown.join(u',').contains("scrolled away"), qPrintable(watch.shown.join(u',')));
        // Each page takes the device at least 1 ms: a paint every 100 lines at most is ten a second at least.
        for (int i = 1; i < watch.lines.size(); ++i) {
            QVERIFY2(watch.lines[i] - watch.lines[i - 1] <= 100, qPrintable(QString::number(watch.lines[i - 1])));
        }
    }

    // A box raised while the window is built waits until the window has been shown and painted.
    void a_start_up_box_waits_for_the_painted_window() {
        window.reset();
        Recorder boxes;
        bool painted_before = false;
        int paints = 0;
        TForm1 form(start_up_box_registry(), {}, [&](BoxKind kind, const QString& text, const QString& caption) {
            painted_before = paints > 0 && form.isVisible();
            return boxes.presenter()(kind, text, caption);
        });
        struct PaintCounter : QObject {
            int& count;
            explicit PaintCounter(int& c) : count(c) {}
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint) ++count;
                return false;
            }
        } counter(paints);
        form.installEventFilter(&counter);
        QCoreApplication::processEvents();
        QVERIFY(boxes.boxes.isEmpty());
        form.show();
        QTRY_COMPARE(boxes.boxes, only(BoxKind::Information, "Mode is on: the switch follows it."));
        QVERIFY(painted_before);
        form.removeEventFilter(&counter);
    }

private:
    // The help popup on show, drawn, then closed; a null image where none shows.
    static QImage shown_whats_this() {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup || !popup->inherits("QWhatsThat")) return {};
        const QImage image = popup->grab().toImage();
        QWhatsThis::hideText();
        QTest::qWaitFor([] { return !QApplication::activePopupWidget(); });
        return image;
    }

    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
};

QTEST_MAIN(WindowKeysTest)
#include "window_keys_test.moc"
