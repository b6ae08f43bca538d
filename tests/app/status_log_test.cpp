// The status log as a record: each operation ends with a line that tells how it went (the backup
// and the device's versions after a transfer, the file after a file operation, each cancel), and
// its context menu copies the log, saves it to a file or opens the station history.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTemporaryDir>
#include <QtTest>

#include "device_flows.h"
#include "folders.h"
#include "main_window.h"
#include "recorder.h"
#include "simulated_device.h"
#include "window_feedback.h"

using zyvora_app::BoxKind;
using zyvora_app::TForm1;

namespace {

const QString kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124";
const QString kVerified = "Verify success: the device holds every byte that was written.";
const QString kCancelled = "Write config cancelled: nothing was written to the device.";

zyvora::SimOptions factory_device() {
    zyvora::SimOptions options;
    options.factory_image = zyvora::factory_image(zyvora::Registry::instance());
    return options;
}

QByteArray file_bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

}  // namespace

class StatusLogTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        zyvora_app::window_settings().remove("Folders");
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        previous_data_home = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dir->filePath("data").toUtf8());
    }
    void cleanup() {
        window.reset();  // its port refers to the device
        device.reset();
        recorder.reset();
        qputenv("XDG_DATA_HOME", previous_data_home);
    }

    // The page lines stay; after them a read names the versions and a write its backup.
    void a_read_and_a_write_end_with_what_matters() {
        start(factory_device());
        click("Button4");
        QStringList lines = log_lines();
        QCOMPARE(lines.size(), 1 + 512 + 1 + 1 + 1);
        QCOMPARE(lines[512], QString("Page read: 512/512"));
        QCOMPARE(lines.last(), QString("Read config done: Firmware version: 1.13, Hardware version: Zyvora Plus 2.0 "
                                       "simulated hardware"));

        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        recorder->replies << true;
        click("Button5");
        const QString folder = dir->filePath("data/zyvora-configurator/backups/");
        const QStringList backups = QDir(folder).entryList({"*.cfg"});
        QCOMPARE(backups.size(), 1);
        lines = log_lines().mid(lines.size());
        QCOMPARE(lines.size(), 1 + 512 + 1 + 512 + 1 + 512 + 1 + 1);
        QCOMPARE(lines[1025], QString("Page written: 512/512"));
        QCOMPARE(lines.mid(lines.size() - 2),
                 QStringList({kVerified, "Write config done and verified: Firmware version: 1.13, Backup: " + folder +
                                             backups[0]}));
        // The notice a screen reader reads out is as it was.
        QCOMPARE(recorder->boxes.last(),
                 (Box{BoxKind::Notice, "Backup of the device's settings: " + folder + backups[0] + '\n' + kVerified}));
    }

    // What went wrong is the last line, also when only a box said it; a declined write is not
    // told twice.
    void a_transfer_that_does_not_complete_says_why_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("not_found");
        QTest::addColumn<int>("firmware_version");
        QTest::addColumn<QStringList>("last_lines");
        QTest::newRow("read, no device") << "Button4" << true << 113
                                         << QStringList({"Zyvora Plus 2.0 not found.",
                                                         "Read config did not complete: Zyvora Plus 2.0 not found."});
        QTest::newRow("write, other firmware")
            << "Button5" << false << 112
            << QStringList({kFound, "Write config did not complete: Uncompatible firmware version: Device: 1.12 "
                                    "Configurator: 1.13 You need to upload new firmware using \"Upload firmware\" "
                                    "button."});
        QTest::newRow("write, declined") << "Button5" << false << 113
                                         << QStringList({"Page read: 512/512", kCancelled});
    }
    void a_transfer_that_does_not_complete_says_why() {
        QFETCH(QString, button);
        QFETCH(bool, not_found);
        QFETCH(int, firmware_version);
        QFETCH(QStringList, last_lines);
        zyvora::SimOptions options = factory_device();
        options.not_found = not_found;
        options.firmware_version = static_cast<std::uint32_t>(firmware_version);
        start(options);
        click(qPrintable(button));
        QCOMPARE(log_lines().mid(log_lines().size() - 2), last_lines);
    }

    // Every way out of "Upload firmware" is logged: no file chosen, the question answered No,
    // and the upload done.
    void upload_firmware_logs_each_outcome() {
        start(factory_device());
        window->set_firmware(zyvora::FirmwareStore{});
        click("Button3");
        QCOMPARE(recorder->dialogs.size(), 1);
        QCOMPARE(log_lines(), QStringList{"Upload firmware cancelled: no firmware file was chosen."});

        const QString path = dir->filePath("firmware.bin");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(stand_in_firmware(64));
        file.close();
        window->set_firmware_file(path);
        click("Button3");
        QCOMPARE(log_lines().mid(1), QStringList{"Upload firmware cancelled: nothing was sent to the device."});
        QVERIFY(device->requests().empty());

        recorder->replies << true;
        click("Button3");
        // The settings are read and filed first, the versions asked for after: the summary ends it.
        const QStringList lines = log_lines();
        QCOMPARE(lines.mid(2, 2), QStringList({kFound, "Firmware from " + path + ": 64 bytes in 2 pages"}));
        QCOMPARE(lines.mid(lines.size() - 6),
                 QStringList({"Page written: 1/2", "Page written: 2/2", "Firmware upgrade success", kFound,
                              "The device now reports firmware 1.13, hardware Zyvora Plus 2.0 simulated hardware.",
                              "Upload firmware done: firmware.bin, 64 bytes"}));
    }

    // Saving, reading a file and building an update file each log how they ended, a cancelled
    // dialog, the unsaved-changes question answered Cancel and the send put off included.
    void file_operations_log_their_outcome() {
        start(factory_device());
        const QString file = dir->filePath("station.cfg");
        click("Button1");
        recorder->answers << file;
        click("Button1");
        recorder->answers << dir->filePath("missing-folder/station.cfg");
        click("Button1");
        click("Button2");
        recorder->answers << file;
        click("Button2");
        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        recorder->changes_answers << QMessageBox::Cancel << QMessageBox::Cancel;
        click("Button2");
        click("Button4");
        window->set_firmware(zyvora::FirmwareStore{});
        click("Button12");
        recorder->answers << dir->filePath("a.ruf");
        click("Button12");
        const QString firmware = dir->filePath("firmware.bin");
        QFile image(firmware);
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(stand_in_firmware(64));
        image.close();
        recorder->answers << dir->filePath("a.ruf") << firmware;
        click("Button12");

        QCOMPARE(log_lines(), QStringList({
                                  "Save to file cancelled: no file was chosen.",
                                  "Save to file done: " + file,
                                  "Save to file did not complete: Unable to write to " +
                                      dir->filePath("missing-folder/station.cfg"),
                                  "Read from file cancelled: no file was chosen.",
                                  // A whole settings file: the station's advice before the outcome.
                                  "Advice [digi-wide-n]: Path rule 1 digipeats WIDEn-N up to n = 7 for every station: "
                                  "the New-N paradigm has digipeaters trap paths of more than 2 (at most 3) hops so "
                                  "that one packet does not flood the network. Set n <= to 2 or 3.",
                                  "Advice [rate]: Beacon 1 goes out on RF every 5 min: a fixed station sends every 10 "
                                  "minutes or less often (30 is common), leaving the shared channel to others.",
                                  "Advice [rate]: The weather report goes out on RF every 5 min: a fixed station "
                                  "sends every 10 minutes or less often (30 is common), leaving the shared channel to "
                                  "others.",
                                  "Advice [airtime]: The beacons put about 1044 bytes an hour on the channel: 10.0 s "
                                  "of airtime an hour at 1200 baud.",
                                  "Read from file done: " + file,
                                  "Read from file cancelled: the unsaved changes are kept.",
                                  "Read config cancelled: the unsaved changes are kept.",
                                  "Build remote update file cancelled: no file was chosen.",
                                  "Build remote update file cancelled: no firmware file was chosen.",
                                  "Build remote update file done: " + dir->filePath("a.ruf"),
                                  "Send remote update file cancelled: a.ruf was not sent.",
                              }));
        QCOMPARE(recorder->send_offers.size(), 1);
        QVERIFY(device->requests().empty());
    }

    // Advice the owner unticks in the log's menu is heard no more, here or after a restart.
    void advice_unticked_in_the_menu_is_not_given() {
        zyvora_app::window_settings().remove("advice");
        start(factory_device());
        QMenu* menu = open_menu(QContextMenuEvent::Mouse);
        QVERIFY(menu);
        QMenu* shown = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->text() == "&Advice shown") shown = a->menu();
        }
        QVERIFY(shown);
        QStringList ids;
        for (QAction* a : shown->actions()) {
            QVERIFY2(a->isChecked(), qPrintable(a->text()));
            ids << a->text();
            if (a->text() == "rate" || a->text() == "airtime") a->trigger();
        }
        menu->close();
        QCOMPARE(ids, QStringList({"passcode", "path-old", "path-hops", "path-wide1", "digi-wide-n", "rate", "airtime",
                                   "symbol"}));
        QCOMPARE(zyvora_app::window_settings().value("advice/silenced").toStringList(), QStringList({"rate", "airtime"}));

        const QString file = dir->filePath("station.cfg");
        recorder->answers << file << file;
        click("Button1");
        click("Button2");
        QCOMPARE(log_lines().mid(log_lines().size() - 2),
                 QStringList({"Advice [digi-wide-n]: Path rule 1 digipeats WIDEn-N up to n = 7 for every station: the "
                              "New-N paradigm has digipeaters trap paths of more than 2 (at most 3) hops so that one "
                              "packet does not flood the network. Set n <= to 2 or 3.",
                              "Read from file done: " + file}));
        zyvora_app::window_settings().remove("advice");
    }

    // The menu of the log, from the mouse or the keyboard: Copy takes the selection, or the
    // whole log when nothing is selected.
    void the_context_menu_copies_the_selection_or_everything() {
        start(factory_device());
        auto* log = child<QPlainTextEdit>(*window, "Memo1");
        QCOMPARE(log->accessibleName(), QString("Status log"));
        add_lines({"first line", "second line", "third line"});

        for (const QContextMenuEvent::Reason reason : {QContextMenuEvent::Mouse, QContextMenuEvent::Keyboard}) {
            QMenu* menu = open_menu(reason);
            QVERIFY(menu);
            QStringList texts;
            for (const QAction* action : menu->actions()) {
                if (!action->isSeparator()) texts << action->text();
            }
            QCOMPARE(texts, QStringList({"&Copy", "&Save log...", "Station &history...", "&Advice shown"}));
            menu->close();
        }
        QAction* copy = action("StatusLogCopy");
        QVERIFY(copy);
        QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));

        QApplication::clipboard()->clear();
        copy->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("first line\nsecond line\nthird line\n"));

        QTextCursor cursor = log->textCursor();
        cursor.setPosition(log->document()->findBlockByNumber(1).position());
        cursor.setPosition(log->document()->findBlockByNumber(2).position() + 5, QTextCursor::KeepAnchor);
        log->setTextCursor(cursor);
        log->setFocus();
        QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString("second line\nthird"));
    }

    // Shift+F10 opens the menu as the Menu key does.
    void shift_f10_opens_the_menu() {
        start(factory_device());
        auto* log = child<QPlainTextEdit>(*window, "Memo1");
        log->setFocus();
        QTest::keyClick(log, Qt::Key_F10, Qt::ShiftModifier);
        auto* menu = log->findChild<QMenu*>("StatusLogMenu");
        QVERIFY(menu);
        QVERIFY(menu->isVisible());
        menu->close();
    }

    // Save log writes the log as UTF-8 text through the window's file dialog; a cancel writes
    // nothing, and a failure says why.
    void save_log_writes_the_exact_log() {
        start(factory_device());
        add_lines({"Read config done: Hardware version: caf\u00e9", "second line"});
        const QString file = dir->filePath("zyvora.log");
        recorder->answers << file;
        QMenu* menu = open_menu(QContextMenuEvent::Mouse);
        QVERIFY(menu);
        for (QAction* a : menu->actions()) {
            if (a->text() == "&Save log...") a->trigger();
        }
        QCOMPARE(recorder->dialogs.size(), 1);
        QCOMPARE(recorder->dialogs[0].name, QString("StatusLog_SaveDialog"));
        QVERIFY(recorder->dialogs[0].save);
        QCOMPARE(recorder->dialogs[0].file_name, QString("zyvora-log.txt"));
        QCOMPARE(recorder->dialogs[0].filter, QString("Text files (*.txt *.log);;All files (*)"));
        QCOMPARE(file_bytes(file), QByteArray("Read config done: Hardware version: caf\xc3\xa9\nsecond line\n"));
        QCOMPARE(log_lines().last(), "Save log done: " + file);
        QVERIFY(recorder->boxes.isEmpty());

        action("StatusLogSave")->trigger();
        QCOMPARE(log_lines().last(), QString("Save log cancelled: no file was chosen."));
        QCOMPARE(file_bytes(file), QByteArray("Read config done: Hardware version: caf\xc3\xa9\nsecond line\n"));

        const QString missing = dir->filePath("missing-folder/zyvora.log");
        recorder->answers << missing;
        action("StatusLogSave")->trigger();
        const QString why = "Unable to write to " + missing + ": No such file or directory";
        QCOMPARE(recorder->boxes, only(BoxKind::Error, why));
        QCOMPARE(log_lines().last(), "Save log did not complete: " + why);
    }

private:
    void start(zyvora::SimOptions options) {
        std::string error;
        device = zyvora::SimulatedDevice::create(std::move(options), &error);
        QVERIFY2(device, error.c_str());
        show_recorded(window, recorder, std::make_unique<zyvora::SimulatedPort>(*device));
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(*window, name), Qt::LeftButton); }
    QStringList log_lines() {
        const QString text = child<QPlainTextEdit>(*window, "Memo1")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }
    void add_lines(const QStringList& lines) {
        for (const QString& line : lines) window->feedback().log(line.toStdString());
        static_cast<zyvora_app::WindowFeedback&>(window->feedback()).flush();
    }
    QAction* action(const char* name) { return child<QPlainTextEdit>(*window, "Memo1")->findChild<QAction*>(name); }
    // The log's menu as a right click or the Menu key opens it.
    QMenu* open_menu(QContextMenuEvent::Reason reason) {
        auto* log = child<QPlainTextEdit>(*window, "Memo1");
        const QPoint at = log->viewport()->rect().center();
        QContextMenuEvent event(reason, at, log->viewport()->mapToGlobal(at));
        QApplication::sendEvent(log->viewport(), &event);
        auto* menu = log->findChild<QMenu*>("StatusLogMenu");
        return menu && menu->isVisible() ? menu : nullptr;
    }

    std::unique_ptr<QTemporaryDir> dir;
    QByteArray previous_data_home;
    std::unique_ptr<zyvora::SimulatedDevice> device;
    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
};

QTEST_MAIN(StatusLogTest)
#include "status_log_test.moc"
