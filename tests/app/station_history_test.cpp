// Ctrl+H and the status log's menu open "Station history": the station book's entries of the
// device talked to last, newest first, what loading one would change in the window, and loading
// it as "Read from file" does.
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "device_flows.h"
#include "folders.h"
#include "main_window.h"
#include "recorder.h"
#include "simulated_device.h"

using zyvora_app::TForm1;

namespace {

// Each row of the list without its date, which the time of the test decides.
QStringList rows_without_dates(const QTreeWidget& list) {
    QStringList rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem& item = *list.topLevelItem(i);
        QString file = item.text(4);
        file.replace(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d"), "DATE");
        file.replace(QRegularExpression("_\\d+\\.cfg$"), ".cfg");  // a second entry in the same second
        rows << QStringList{item.text(1), item.text(2), item.text(3), file}.join(u'|');
    }
    return rows;
}

bool newest_first(const QTreeWidget& list) {
    for (int i = 1; i < list.topLevelItemCount(); ++i) {
        if (list.topLevelItem(i - 1)->text(0) < list.topLevelItem(i)->text(0)) return false;
    }
    return true;
}

QString accessible_name(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name); }

}  // namespace

class StationHistoryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { previous_data = qgetenv("XDG_DATA_HOME"); }
    void init() {
        data = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", data->path().toUtf8());
        zyvora_app::window_settings().remove("Folders");
    }
    void cleanup() {
        window.reset();  // its port refers to the device
        device.reset();
        recorder.reset();
        qputenv("XDG_DATA_HOME", previous_data);
    }

    // Two writes file four entries under the device's serial number, and two backups in the older
    // folder that only "Show all devices" lists.
    void ctrl_h_lists_the_entries_of_the_device_newest_first() {
        write_twice();
        const QSize size = window->size();
        QTest::keySequence(window.get(), QKeySequence("Ctrl+H"));
        QDialog* dialog = history();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QString("Station history"));
        auto* list = dialog->findChild<QTreeWidget*>("StationBookEntries");
        QCOMPARE(list->headerItem()->text(0), QString("Date"));
        const QStringList of_device = {"written|OK1BBB-0|1.13|DATE_OK1BBB-0.cfg",
                                       "before-write|OK1AAA-0|1.13|DATE_OK1AAA-0.cfg",
                                       "written|OK1AAA-0|1.13|DATE_OK1AAA-0.cfg",
                                       "before-write|NOCALL-0|1.13|DATE_NOCALL-0.cfg"};
        QCOMPARE(rows_without_dates(*list), of_device);
        QVERIFY(newest_first(*list));
        auto* all = dialog->findChild<QCheckBox*>("ShowAllDevices");
        QVERIFY(all->isEnabled());
        QVERIFY(!all->isChecked());
        all->setChecked(true);
        // The backups fall among the entries by their dates, which the clock decides.
        QStringList every = rows_without_dates(*list);
        QStringList expected = of_device + QStringList{"backup|OK1AAA-0|-|DATE.cfg", "backup|NOCALL-0|-|DATE.cfg"};
        every.sort();
        expected.sort();
        QCOMPARE(every, expected);
        QVERIFY(newest_first(*list));
        // The window keeps its layout: the dialog is a window of its own.
        QCOMPARE(window->size(), size);
        QVERIFY(!window->findChild<QMenuBar*>());
    }

    // The change list of an older entry against the window, in the words of the write's question;
    // the newest entry holds what the window shows.
    void the_change_list_names_what_loading_would_change() {
        write_twice();
        QTest::keySequence(window.get(), QKeySequence("Ctrl+H"));
        QDialog* dialog = history();
        QVERIFY(dialog);
        auto* list = dialog->findChild<QTreeWidget*>("StationBookEntries");
        auto* changes = dialog->findChild<QPlainTextEdit*>("StationChanges");
        QCOMPARE(changes->toPlainText(), QString("The entry holds the settings the window shows."));
        list->setCurrentItem(list->topLevelItem(2));
        QCOMPARE(changes->toPlainText(), QString("Loading this entry changes 1 setting:\n"
                                                 "Radio:\n"
                                                 "    Callsign: OK1BBB -> OK1AAA"));
        list->setCurrentItem(list->topLevelItem(3));
        QCOMPARE(changes->toPlainText(), QString("Loading this entry changes 2 settings:\n"
                                                 "Radio:\n"
                                                 "    Callsign: OK1BBB -> NOCALL\n"
                                                 "    TX delay [ms]: 400 -> 250"));

        // Settings the device would refuse cannot be compared, and say why.
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!history());
        retype(child<QLineEdit>(*window, "Txdelay"), "199");
        const qsizetype boxes = recorder->boxes.size();
        QTest::keySequence(window.get(), QKeySequence("Ctrl+H"));
        dialog = history();
        QVERIFY(dialog);
        QCOMPARE(dialog->findChild<QPlainTextEdit*>("StationChanges")->toPlainText(),
                 QString("The window's settings cannot be compared: TX delay - range error (200 - 1000)."));
        QCOMPARE(recorder->boxes.size(), boxes);  // told in the list, not in a box
    }

    // Load into window asks over unsaved changes as "Read from file" does: Cancel keeps them and
    // the dialog, Discard loads the entry and logs it.
    void load_into_window_reads_the_entry_as_read_from_file_does() {
        write_twice();
        retype(child<QLineEdit>(*window, "Txdelay"), "500");
        QTest::keySequence(window.get(), QKeySequence("Ctrl+H"));
        QDialog* dialog = history();
        QVERIFY(dialog);
        auto* list = dialog->findChild<QTreeWidget*>("StationBookEntries");
        list->setCurrentItem(list->topLevelItem(2));
        const QString entry = list->topLevelItem(2)->toolTip(4);
        QVERIFY(entry.startsWith(data->filePath("zyvora-configurator/stations/SIM/")));

        recorder->changes_answers << QMessageBox::Cancel;
        QTest::mouseClick(dialog->findChild<QPushButton*>("LoadIntoWindow"), Qt::LeftButton);
        QCOMPARE(recorder->changes_questions.size(), 1);
        QCOMPARE(last_log_line(), QString("Read from file cancelled: the unsaved changes are kept."));
        QCOMPARE(child<QLineEdit>(*window, "Callsign")->text(), QString("OK1BBB"));
        QCOMPARE(history(), dialog);

        recorder->changes_answers << QMessageBox::Discard;
        QTest::mouseClick(dialog->findChild<QPushButton*>("LoadIntoWindow"), Qt::LeftButton);
        QCOMPARE(recorder->changes_questions.size(), 2);
        QCOMPARE(child<QLineEdit>(*window, "Callsign")->text(), QString("OK1AAA"));
        QCOMPARE(child<QLineEdit>(*window, "Txdelay")->text(), QString("400"));
        QCOMPARE(last_log_line(), "Read from file done: " + entry);
        QVERIFY(!history());
    }

    // Every control named for a screen reader, a key for each, Esc closes; the log's menu opens
    // the dialog too.
    void the_dialog_is_named_and_keyed() {
        write_twice();
        auto* open = child<QPlainTextEdit>(*window, "Memo1")->findChild<QAction*>("StatusLogHistory");
        QVERIFY(open);
        QCOMPARE(open->text(), QString("Station &history..."));
        open->trigger();
        QDialog* dialog = history();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        const QList<std::pair<QWidget*, QString>> named = {
            {dialog->findChild<QTreeWidget*>("StationBookEntries"), "Station book entries"},
            {dialog->findChild<QPlainTextEdit*>("StationChanges"), "Changes against the window"},
            {dialog->findChild<QCheckBox*>("ShowAllDevices"), "Show all devices"},
            {dialog->findChild<QPushButton*>("LoadIntoWindow"), "Load into window"},
        };
        for (const auto& [widget, name] : named) {
            QVERIFY2(widget, qPrintable(name));
            QCOMPARE(accessible_name(widget), name);
        }
        QCOMPARE(QKeySequence::mnemonic(dialog->findChild<QPushButton*>("LoadIntoWindow")->text()),
                 QKeySequence("Alt+L"));
        QCOMPARE(QKeySequence::mnemonic(dialog->findChild<QCheckBox*>("ShowAllDevices")->text()), QKeySequence("Alt+A"));
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!history());
    }

    // A window that has talked to no device shows every entry and cannot narrow the list.
    void without_a_device_every_entry_is_shown() {
        write_twice();
        device.reset();
        window.reset();
        window = shown_window(*recorder);
        recorder->attach(*window);
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keySequence(window.get(), QKeySequence("Ctrl+H"));
        QDialog* dialog = history();
        QVERIFY(dialog);
        auto* all = dialog->findChild<QCheckBox*>("ShowAllDevices");
        QVERIFY(all->isChecked());
        QVERIFY(!all->isEnabled());
        QCOMPARE(dialog->findChild<QTreeWidget*>("StationBookEntries")->topLevelItemCount(), 6);
    }

private:
    // Two writes from the window to a simulated device holding the factory settings: the first
    // changes the call sign and the TX delay, the second the call sign again.
    void write_twice() {
        zyvora::SimOptions options;
        options.factory_image = zyvora::factory_image(zyvora::Registry::instance());
        std::string error;
        device = zyvora::SimulatedDevice::create(std::move(options), &error);
        QVERIFY2(device, error.c_str());
        show_recorded(window, recorder, std::make_unique<zyvora::SimulatedPort>(*device));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        retype(child<QLineEdit>(*window, "Callsign"), "OK1AAA");
        retype(child<QLineEdit>(*window, "Txdelay"), "400");
        recorder->replies << true;
        QTest::mouseClick(child<QPushButton>(*window, "Button5"), Qt::LeftButton);
        retype(child<QLineEdit>(*window, "Callsign"), "OK1BBB");
        recorder->replies << true;
        QTest::mouseClick(child<QPushButton>(*window, "Button5"), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    QDialog* history() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        auto* dialog = window->findChild<QDialog*>("StationHistory");
        return dialog && dialog->isVisible() ? dialog : nullptr;
    }
    QString last_log_line() {
        QCoreApplication::processEvents();
        return log_and_outcome(*window).second;
    }

    QByteArray previous_data;
    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<zyvora::SimulatedDevice> device;
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<TForm1> window;
};

QTEST_MAIN(StationHistoryTest)
#include "station_history_test.moc"
