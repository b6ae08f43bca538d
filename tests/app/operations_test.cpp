// What the window's buttons and feedback port do: "Save to file" and "Read from file" through
// their dialogs, the boxes they show, and the status log and progress bar.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "folders.h"
#include "main_window.h"
#include "operations.h"
#include "xtea.h"
#include "recorder.h"

using zyvora_app::BoxKind;
using zyvora_app::TForm1;

namespace {

void pick(QComboBox* combo, int index) {
    combo->setFocus();
    while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index) QTest::keyClick(combo, Qt::Key_Up);
}

void write_file(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class OperationsTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        show_recorded(window, recorder);
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        zyvora_app::window_settings().remove("Folders");
    }
    void cleanup() { window.reset(); }

    // This test program has no config/ or remote/ beside it, as an installed copy has none.
    void the_file_dialogs() {
        const QString config = QCoreApplication::applicationDirPath() + "/config/";
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        QCOMPARE(recorder->dialogs.size(), 2);
        const auto& save = recorder->dialogs[0];
        QCOMPARE(save.name, QString("SaveDialog1"));
        QVERIFY(save.save);
        QCOMPARE(save.folder, documents_or_home());
        QCOMPARE(save.file_name, QString("zyvoraplus20.cfg"));
        QCOMPARE(save.filter, QString("Zyvora Plus 2.0 config files (*.cfg)"));
        const auto& open = recorder->dialogs[1];
        QCOMPARE(open.name, QString("OpenDialog2"));
        QVERIFY(!open.save);
        QCOMPARE(open.folder, documents_or_home());
        QCOMPARE(open.filter, QString("Zyvora Plus 2.0 config files (*.cfg)"));
        // Cancelled: nothing shown, nothing changed, and the folder is not made.
        QVERIFY(recorder->boxes.isEmpty());
        QVERIFY(!QDir(config).exists());

        const auto& ruf = window->ruf_save_dialog();
        QCOMPARE(ruf.name, QString("RUF_SaveDialog"));
        QVERIFY(ruf.save);
        QCOMPARE(ruf.folder, QCoreApplication::applicationDirPath() + "/remote/");
        QCOMPARE(ruf.file_name, QString("zyvoraplus20.ruf"));
        QCOMPARE(ruf.filter, QString("Zyvora Plus 2.0 remote update files (*.ruf)"));
    }

    // The folder of a file chosen is where that kind of dialog starts next, in this run and the next.
    void a_chosen_folder_is_where_the_next_dialog_starts() {
        const QString folder = dir->path() + u'/';
        recorder->answers << folder + "station.cfg";
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        QCOMPARE(recorder->dialogs.size(), 2);
        QCOMPARE(recorder->dialogs[1].folder, folder);

        show_recorded(window, recorder);  // the next run
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        QCOMPARE(recorder->dialogs.size(), 1);
        QCOMPARE(recorder->dialogs[0].folder, folder);
        QTest::mouseClick(button("Button12"), Qt::LeftButton);  // remote update files are another kind
        QCOMPARE(recorder->dialogs.size(), 2);
        QCOMPARE(recorder->dialogs[1].folder, documents_or_home());
    }

    // The files chosen are remembered per kind, newest first: their folders are the dialogs'
    // history, each once, in this run and the next; a folder since removed is left out.
    void recent_files_are_the_dialogs_history() {
        QVERIFY(QDir(dir->path()).mkpath("a") && QDir(dir->path()).mkpath("b") && QDir(dir->path()).mkpath("gone"));
        const QString a = dir->filePath("a"), b = dir->filePath("b"), gone = dir->filePath("gone");
        recorder->answers << gone + "/old.cfg" << a + "/station.cfg" << b + "/other.cfg" << a + "/station.cfg";
        for (const char* name : {"Button1", "Button1", "Button1", "Button2"}) {
            QTest::mouseClick(button(name), Qt::LeftButton);
        }
        QVERIFY(QDir(gone).removeRecursively());

        show_recorded(window, recorder);  // the next run
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        QTest::mouseClick(button("Button12"), Qt::LeftButton);  // remote update files are another kind
        QCOMPARE(recorder->dialogs.size(), 2);
        QCOMPARE(recorder->dialogs[0].history, QStringList({a, b}));
        QCOMPARE(recorder->dialogs[1].history, QStringList());

        // Qt's own dialog offers them in its folder list.
        const auto dialog = zyvora_app::make_file_dialog(window.get(), recorder->dialogs[0]);
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(dialog->history().mid(0, 2), QStringList({a, b}));
    }

    void start_folders_data() {
        QTest::addColumn<QString>("beside");
        QTest::addColumn<QString>("last_used");
        QTest::addColumn<QString>("documents");
        QTest::addColumn<QString>("expected");
        static const QTemporaryDir base;
        const QString a = base.filePath("a"), b = base.filePath("b"), gone = base.filePath("gone");
        QVERIFY(QDir().mkpath(a) && QDir().mkpath(b));
        QTest::newRow("beside the program") << a << b << b << a + '/';
        QTest::newRow("last used") << gone << b + '/' << a << b + '/';
        QTest::newRow("last used since removed") << gone << gone << a << a + '/';
        QTest::newRow("last used under /usr") << gone << "/usr/share" << a << a + '/';
        QTest::newRow("beside a program in /usr/bin") << "/usr/bin" << gone << b << b + '/';
        QTest::newRow("nothing: home") << gone << QString() << gone << QDir::homePath() + '/';
    }
    void start_folders() {
        QFETCH(QString, beside);
        QFETCH(QString, last_used);
        QFETCH(QString, documents);
        QFETCH(QString, expected);
        QCOMPARE(zyvora_app::start_folder(beside, last_used, documents), expected);
    }

    void save_then_read_brings_the_saved_values_back() {
        const QString file = dir->filePath("station.cfg");
        retype(child<QLineEdit>(*window, "Callsign"), QString::fromUtf8("sq5\u00C9x"));
        retype(child<QLineEdit>(*window, "Ssid"), "7");
        retype(child<QLineEdit>(*window, "Floodtimeout"), "120");
        pick(child<QComboBox>(*window, "Output_level"), 3);
        pick(child<QComboBox>(*window, "Digion"), 0);
        recorder->answers << file;
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QVERIFY(QFile::exists(file));

        retype(child<QLineEdit>(*window, "Callsign"), "ZZ1ZZ");
        retype(child<QLineEdit>(*window, "Ssid"), "1");
        retype(child<QLineEdit>(*window, "Floodtimeout"), "15");
        pick(child<QComboBox>(*window, "Output_level"), 10);
        pick(child<QComboBox>(*window, "Digion"), 1);
        recorder->answers << file;
        QTest::mouseClick(button("Button2"), Qt::LeftButton);

        QVERIFY(recorder->boxes.isEmpty());
        QCOMPARE(child<QLineEdit>(*window, "Callsign")->text(), QString::fromUtf8("sq5\u00C9x"));
        QCOMPARE(window->store().text("Callsign"), std::string("sq5\xC9x"));
        QCOMPARE(child<QLineEdit>(*window, "Ssid")->text(), QString("7"));
        QCOMPARE(child<QLineEdit>(*window, "Floodtimeout")->text(), QString("120"));
        QCOMPARE(child<QComboBox>(*window, "Output_level")->currentText(), QString("57 mV/500 Ohm"));
        QCOMPARE(child<QComboBox>(*window, "Digion")->currentText(), QString("No"));
    }

    // The interlocks settle after the file is read: both ports on KISS leave port 2 "None", with one box.
    void reading_a_file_settles_the_port_interlocks() {
        const QString file = dir->filePath("kiss.cfg");
        write_file(file, "[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.13\n"
                         "[ExternalDevices]\nSerial1_mode=4\nSerial2_mode=4\n");
        recorder->answers << file;
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        // Then what the short file lacks, as the log tells it, in a notice.
        const auto [log, outcome] = log_and_outcome(*window);
        QCOMPARE(outcome, "Read from file done: " + file);
        QCOMPARE(recorder->boxes,
                 QList<Box>({{BoxKind::Information, "RS-232 port 2 changed to None.\rReason:\r"
                                                    "KISS output can be selected on one port only."},
                             {BoxKind::Notice, log}}));
        QCOMPARE(child<QComboBox>(*window, "Serial1_mode")->currentText(), QString("KISS"));
        QCOMPARE(child<QComboBox>(*window, "Serial2_mode")->currentText(), QString("None"));
    }

    void a_file_of_another_application_is_refused_and_changes_nothing() {
        const QString file = dir->filePath("other.cfg");
        write_file(file, "[!WARNING]\nApplication=Another Configurator\nVersion=v1.13\n"
                         "[Radio]\nCallsign=HACKED\nOutput_level=0\n");
        recorder->answers << file;
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        QCOMPARE(recorder->boxes,
                 only(BoxKind::Information, "Imported configuration file is not a Zyvora Plus 2.0 configuration file. \n"
                             "Operation aborted."));
        QCOMPARE(child<QLineEdit>(*window, "Callsign")->text(), QString("NOCALL"));
        QCOMPARE(child<QComboBox>(*window, "Output_level")->currentText(), QString("400 mV/500 Ohm"));
    }

    // A hand-edited file's surprises (a mistyped key, a text the device cuts, a number the device
    // gets as another) are told in the log.
    void what_a_file_holds_that_reads_not_as_meant_is_logged() {
        const QString file = dir->filePath("station.cfg");
        QByteArray text = saved_by_window(file);
        text.replace("TXdelay=250", "TXdelya=300").replace("Callsign=NOCALL", "Callsign=SP5ABC-7");
        text.replace("Www_port=80", "Www_port=70000");
        write_file(file, text);
        recorder->answers << file;
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        const QString warnings = "[Radio] Callsign is 8 characters long; the device keeps the first 6.\n"
                                 "[Radio] TXdelya is not a known key; did you mean TXdelay?\n"
                                 "[WWW] Www_port 70000 does not fit the field (0 - 65535): the device gets 4464.\n"
                                 "[Radio] lacks TXdelay; it reads as its default.";
        QCOMPARE(child<QPlainTextEdit>(*window, "Memo1")->toPlainText(),
                 "Save to file done: " + file + '\n' + warnings + "\nRead from file done: " + file);
        // Also in a notice, which a screen reader reads out and which holds nothing up.
        QCOMPARE(recorder->boxes, only(BoxKind::Notice, warnings));
        QCOMPARE(window->store().text("Txdelay"), std::string("250"));
        QCOMPARE(window->store().text("www_port"), std::string("70000"));
    }

    // A file cut short reads, and the log names every section it lost.
    void a_file_cut_short_names_what_is_missing() {
        const QString file = dir->filePath("station.cfg");
        QByteArray text = saved_by_window(file);
        write_file(file, text.left(text.indexOf("[RTC]")) + "[Telnet]\nTelnet_user=admin\n");
        recorder->answers << file;
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        auto [log, outcome] = log_and_outcome(*window);
        QCOMPARE(outcome, "Read from file done: " + file);
        const QString saved = "Save to file done: " + file + '\n';
        QVERIFY2(log.startsWith(saved), qPrintable(log));
        log.remove(0, saved.size());
        QCOMPARE(recorder->boxes, only(BoxKind::Notice, log));
        QVERIFY2(log.startsWith("[RTC] is missing; its 3 keys read as their defaults.\n"
                                "[WWW] is missing; its 3 keys read as their defaults.\n"
                                "[Telnet] lacks Telnet_pass and Telnet_port; they read as their defaults.\n"
                                "[Debug] is missing; its 15 keys read as their defaults.\n"),
                 qPrintable(log));
        QCOMPARE(log.count('\n'), 15);  // and eleven sections more
    }

    void a_file_that_cannot_be_written_shows_the_error_display() {
        const QString file = dir->filePath("missing-folder/station.cfg");
        recorder->answers << file;
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(recorder->boxes, only(BoxKind::Error, "Unable to write to " + file));
    }

    void a_number_that_is_no_integer_stops_the_save_with_the_conversion_error() {
        const QString file = dir->filePath("station.cfg");
        retype(child<QLineEdit>(*window, "Txdelay"), "25x");
        recorder->answers << file;
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(recorder->boxes, only(BoxKind::Error, "'25x' is not a valid integer value"));
        QVERIFY(!QFile::exists(file));
    }

    // A device may hand over a text with a line break; saved, it shows in the status log which key
    // was kept on one line, and in a notice, which interrupts nothing.
    void a_text_saved_with_its_line_breaks_as_spaces_is_named_in_the_status_log() {
        const QString file = dir->filePath("station.cfg");
        window->store().set_text("Beacon1_msg", "one\r\n[Radio]");
        recorder->answers << file;
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCoreApplication::processEvents();
        const QString warning = "[Beacons] Beacon1_msg: line breaks and NUL bytes saved as spaces.";
        QCOMPARE(recorder->boxes, only(BoxKind::Notice, warning));
        QCOMPARE(child<QPlainTextEdit>(*window, "Memo1")->toPlainText(), warning + "\nSave to file done: " + file);
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("\nBeacon1_msg=one  [Radio]\n"));
    }

    void the_status_log_keeps_the_lines_of_every_operation() {
        auto& feedback = window->feedback();
        feedback.log("Zyvora Plus 2.0 not found.");
        const zyvora::Image blank{};
        QVERIFY(!zyvora::verify_and_decode(zyvora::Registry::instance(), window->store(), blank, feedback));
        QVERIFY(!zyvora::verify_and_decode(zyvora::Registry::instance(), window->store(), blank, feedback));
        QCoreApplication::processEvents();  // log lines show when the window next takes its events
        QCOMPARE(child<QPlainTextEdit>(*window, "Memo1")->toPlainText(),
                 QString("Zyvora Plus 2.0 not found.\n"
                         "Eeprom checksum error. Please reload configuration.\n"
                         "Eeprom checksum error. Please reload configuration."));
    }

    // "Build remote update file" through its dialog: the same package as the operation builds.
    void remote_update_file_through_its_dialog() {
        const QString firmware = dir->filePath("firmware.bin");
        write_file(firmware, stand_in_firmware(64));
        window->set_firmware(zyvora::FirmwareStore::from_file(firmware.toStdString()));
        retype(child<QLineEdit>(*window, "Callsign"), "SP5XYZ");
        const QString file = dir->filePath("zyvoraplus20.ruf");
        recorder->answers << file;
        QTest::mouseClick(button("Button12"), Qt::LeftButton);

        QCOMPARE(recorder->dialogs.size(), 1);
        QCOMPARE(recorder->dialogs[0].name, QString("RUF_SaveDialog"));
        QVERIFY(recorder->boxes.isEmpty());
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray package = written.readAll();
        QCOMPARE(package.size(), 64 + 16896);
        QCOMPARE(package.left(4), QByteArray("\x40\0\0\0", 4));
        QCOMPARE(package.mid(16896), stand_in_firmware(64));
        std::vector<std::uint8_t> settings(package.begin() + 512, package.begin() + 16896);
        zyvora::decipher_blocks(settings, zyvora::update_key());
        QVERIFY(std::equal(settings.begin(), settings.end(), window->outgoing_image().begin()));
        QVERIFY(zyvora::verify(window->outgoing_image()));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(settings.data()) + 14, 6), QByteArray("SP5XYZ"));
    }

    void remote_update_file_failures_keep_the_old_file() {
        const QString file = dir->filePath("kept.ruf");
        write_file(file, "the previous package");
        // A build without an image asks for one after the file: cancelled, nothing is shown;
        // a file that cannot be read is named.
        window->set_firmware(zyvora::FirmwareStore{});
        recorder->answers << file;
        QTest::mouseClick(button("Button12"), Qt::LeftButton);
        QCOMPARE(recorder->dialogs.size(), 2);
        QCOMPARE(recorder->dialogs[1].name, QString("Firmware_OpenDialog"));
        QVERIFY(recorder->boxes.isEmpty());
        recorder->answers << file << dir->filePath("missing.bin");
        QTest::mouseClick(button("Button12"), Qt::LeftButton);
        QCOMPARE(recorder->boxes, only(BoxKind::Information, "Firmware resource not found (LoadResource).\n" +
                                                                 dir->filePath("missing.bin") + ": No such file or directory"));
        // A settings file chosen as firmware is named for what it is.
        recorder->boxes.clear();
        write_file(dir->filePath("station.cfg"), "[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\n");
        recorder->answers << file << dir->filePath("station.cfg");
        QTest::mouseClick(button("Button12"), Qt::LeftButton);
        QCOMPARE(recorder->boxes, only(BoxKind::Information, dir->filePath("station.cfg") +
                                                                 " is not a firmware image: it is a settings file"));

        write_file(dir->filePath("fw.bin"), stand_in_firmware(64));
        window->set_firmware(zyvora::FirmwareStore::from_file(dir->filePath("fw.bin").toStdString()));
        recorder->boxes.clear();
        recorder->answers << dir->filePath("missing-folder/zyvoraplus20.ruf");
        QTest::mouseClick(button("Button12"), Qt::LeftButton);
        QCOMPARE(recorder->boxes, (QList<Box>{{BoxKind::Information, "Could not open destination file.", "File open error"}}));

        // A failing setting asks for no file; a cancelled dialog shows nothing.
        recorder->boxes.clear();
        recorder->dialogs.clear();
        retype(child<QLineEdit>(*window, "Txdelay"), "199");
        QTest::mouseClick(button("Button12"), Qt::LeftButton);
        QCOMPARE(recorder->boxes, only(BoxKind::Information, "TX delay - range error (200 - 1000)."));
        QVERIFY(recorder->dialogs.isEmpty());
        retype(child<QLineEdit>(*window, "Txdelay"), "300");
        recorder->boxes.clear();
        QTest::mouseClick(button("Button12"), Qt::LeftButton);
        QCOMPARE(recorder->dialogs.size(), 1);
        QVERIFY(recorder->boxes.isEmpty());

        QFile kept(file);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("the previous package"));
    }

    void the_progress_bar_follows_the_port() {
        auto& feedback = window->feedback();
        auto* bar = child<QProgressBar>(*window, "ProgressBar1");
        feedback.progress_range(0, 512);
        feedback.progress_position(7);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 512);
        QCOMPARE(bar->value(), 7);
        QCOMPARE(feedback.progress(), 7);
        feedback.progress_position(0);
        QCOMPARE(feedback.progress(), 0);
    }

    void a_plain_message_is_its_own_kind_of_box() {
        window->feedback().message("Firmware version: 113");
        QCOMPARE(recorder->boxes, only(BoxKind::Message, "Firmware version: 113"));
    }

    // The window's own presenter shows a notice without waiting, so a transfer goes on behind
    // it; the same notice again raises the one shown rather than stacking another.
    void a_notice_does_not_wait_for_its_answer() {
        const zyvora_app::BoxPresenter present = zyvora_app::modal_boxes(window.get());
        QVERIFY(present(BoxKind::Notice, "A transfer is running.", {}));
        QVERIFY(present(BoxKind::Notice, "A transfer is running.", {}));
        QList<QMessageBox*> shown = window->findChildren<QMessageBox*>();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0]->isVisible());
        QVERIFY(!shown[0]->isModal());
        QCOMPARE(shown[0]->icon(), QMessageBox::Information);
        QCOMPARE(shown[0]->text(), QString("A transfer is running."));
        QCOMPARE(shown[0]->windowTitle(), QString("Zyvora Plus 2.0 Configurator"));

        QVERIFY(present(BoxKind::Notice, "Another one.", {}));
        QCOMPARE(window->findChildren<QMessageBox*>().size(), 2);
        zyvora_app::close_notices(window.get());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window->findChildren<QMessageBox*>().isEmpty());
    }

private:
    // The window's settings as Save to file writes them into `file`.
    QByteArray saved_by_window(const QString& file) {
        recorder->answers << file;
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QFile saved(file);
        return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
    }

    QPushButton* button(const char* name) { return child<QPushButton>(*window, name); }

    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_MAIN(OperationsTest)
#include "operations_test.moc"
