// The window as a desktop program: a failing check takes the user to its control; the title
// names the settings file and marks unsaved changes, a close asks to save them, save dialogs ask
// before they replace a file, and a settings file dropped on the window is read.
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>
#include <QPlainTextEdit>
#include <QtTest>

#include "device_flows.h"
#include "filter_window.h"
#include "main_window.h"
#include "multi_row_tabs.h"
#include "pages.h"
#include "recorder.h"
#include "simulated_device.h"

using zyvora_app::BoxKind;
using zyvora_app::TForm1;

namespace {

const QByteArray kHeader = "[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.13\n";
const QString kCaption = "Zyvora Plus 2.0 Configurator v1.13";

void write_file(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        zyvora::SimOptions options;
        options.factory_image = zyvora::factory_image(zyvora::Registry::instance());
        std::string error;
        device = zyvora::SimulatedDevice::create(std::move(options), &error);
        QVERIFY2(device, error.c_str());
        show_recorded(window, recorder, std::make_unique<zyvora::SimulatedPort>(*device));
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }
    void cleanup() {
        window.reset();  // its port refers to the device
        device.reset();
        recorder.reset();
        dir.reset();
    }

    void a_failing_check_shows_its_control_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("sub_page");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString txdelay = "TX delay - range error (200 - 1000).";
        const QString per_minute = "Max. non-message packets per 1 min range error (1 - 240).";
        QTest::newRow("Write config, a page") << "Button5" << QByteArray("[Radio]\nTXdelay=5000\n") << "Txdelay"
                                              << "TabSheet_radio" << "" << "5000" << txdelay;
        QTest::newRow("remote update file, a page")
            << "Button12" << QByteArray("[Radio]\nTXdelay=5000\n") << "Txdelay" << "TabSheet_radio" << "" << "5000"
            << txdelay;
        QTest::newRow("Write config, a sub-page")
            << "Button5" << QByteArray("[I-Gate]\nAprsis_packet2rf_1min=500\n") << "Aprsis_packet2rf_1min"
            << "TabSheet_aprsis_gateway" << "TabSheet_aprsis_rf_nonmessages" << "500" << per_minute;
        QTest::newRow("remote update file, a sub-page")
            << "Button12" << QByteArray("[I-Gate]\nAprsis_packet2rf_1min=500\n") << "Aprsis_packet2rf_1min"
            << "TabSheet_aprsis_gateway" << "TabSheet_aprsis_rf_nonmessages" << "500" << per_minute;
    }
    // Another page is current and another control focused when the check fails: the window goes
    // to the control, and nothing reaches the device or asks for a file.
    void a_failing_check_shows_its_control() {
        QFETCH(QString, button);
        QFETCH(QByteArray, settings);
        QFETCH(QString, control);
        QFETCH(QString, page);
        QFETCH(QString, sub_page);
        QFETCH(QString, text);
        QFETCH(QString, message);
        read_settings(kHeader + settings);
        auto* pages = child<zyvora_app::MultiRowTabWidget>(*window, "PageControl1");
        pages->setCurrentWidget(child<QWidget>(*window, "TabSheet_network"));
        child<QWidget>(*window, "Callsign")->setFocus();

        click(qPrintable(button));

        QCOMPARE(recorder->boxes, only(BoxKind::Information, message));
        QCOMPARE(recorder->dialogs.size(), 1);  // the read's own: the build asks for no file
        QVERIFY(device->requests().empty());
        QCOMPARE(pages->currentWidget()->objectName(), page);
        if (!sub_page.isEmpty()) {
            auto* tabs = zyvora_app::sub_tabs(pages->currentWidget());
            QCOMPARE(tabs->currentWidget()->objectName(), sub_page);
        }
        auto* edit = child<QLineEdit>(*window, qPrintable(control));
        QCOMPARE(window->focusWidget(), edit);
        QCOMPARE(edit->selectedText(), text);
    }

    // A filter row's control is in the filter window, which opens as "Filter setup" opens it.
    void a_failing_filter_row_opens_the_filter_window() {
        read_settings(kHeader + "[I-Gate]\nPacket2rf_filter_ssid07=99\n");
        QWidget* modal = nullptr;
        QWidget* focused = nullptr;
        QString selected;
        // Looks once the filter window stands as the modal window, after the write has ended.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() != &window->filter_window()) return;
            watch.stop();
            modal = QApplication::activeModalWidget();
            focused = window->filter_window().focusWidget();
            if (auto* edit = qobject_cast<QLineEdit*>(focused)) selected = edit->selectedText();
            window->filter_window().close();
        });
        watch.start(1);
        click("Button5");

        QCOMPARE(recorder->boxes, only(BoxKind::Information, "APRS-IS packets to RF filter 7 - SSID range error "
                                                             "(0 - 15, or wildcard '*')."));
        QCOMPARE(modal, &window->filter_window());
        QVERIFY(focused);
        QCOMPARE(focused->objectName(), QString("Packet2rf_filter_ssid07"));
        QCOMPARE(selected, QString("99"));
        QVERIFY(device->requests().empty());
    }

    // The title as the window system shows it, after each step.
    void the_title_names_the_file_and_marks_changes() {
        const QString station = dir->filePath("station.cfg");
        const QString other = dir->filePath("other.cfg");
        write_file(other, kHeader + "[Radio]\nCallsign=DL1ABC\n");
        QCOMPARE(shown_title(), kCaption);  // start-up defaults are no change
        QVERIFY(!window->isWindowModified());

        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        QCOMPARE(shown_title(), kCaption + "*");
        QVERIFY(window->isWindowModified());

        recorder->answers << station;
        click("Button1");
        QCOMPARE(shown_title(), "station.cfg - " + kCaption);
        QVERIFY(!window->isWindowModified());

        auto* level = child<QComboBox>(*window, "Output_level");
        level->setFocus();
        QTest::keyClick(level, Qt::Key_Down);
        QCOMPARE(shown_title(), "station.cfg* - " + kCaption);
        recorder->replies << true;  // yes to the list of what the write changes
        click("Button5");
        QCOMPARE(shown_title(), "station.cfg - " + kCaption);

        child<QPushButton>(*window, "Button_teleanalog1_default")->click();
        QCOMPARE(shown_title(), "station.cfg* - " + kCaption);
        const QString firmware = dir->filePath("firmware.bin");
        write_file(firmware, stand_in_firmware(64));
        window->set_firmware_file(firmware);
        recorder->answers << dir->filePath("station.ruf");
        click("Button12");
        QVERIFY(QFile::exists(dir->filePath("station.ruf")));
        QCOMPARE(shown_title(), "station.cfg - " + kCaption);

        retype(child<QLineEdit>(*window, "Ssid"), "7");
        click("Button4");  // the device's settings replace the changes
        QCOMPARE(shown_title(), "station.cfg - " + kCaption);

        recorder->answers << dir->filePath("missing.cfg");
        click("Button2");
        QCOMPARE(shown_title(), "station.cfg - " + kCaption);
        recorder->answers << other;
        click("Button2");
        QCOMPARE(shown_title(), "other.cfg - " + kCaption);
        QCOMPARE(window->store().text("Callsign"), std::string("DL1ABC"));
    }

    void a_close_with_unsaved_changes_asks_data() {
        QTest::addColumn<QList<QMessageBox::StandardButton>>("answers");
        QTest::addColumn<QString>("file");  // the save dialog's answer; empty: cancelled
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("saved");
        QTest::newRow("Cancel") << QList{QMessageBox::Cancel} << "" << false << false;
        QTest::newRow("Discard") << QList{QMessageBox::Discard} << "" << true << false;
        QTest::newRow("Save") << QList{QMessageBox::Save} << "station.cfg" << true << true;
        QTest::newRow("Save, dialog cancelled") << QList{QMessageBox::Save} << "" << false << false;
    }
    void a_close_with_unsaved_changes_asks() {
        QFETCH(QList<QMessageBox::StandardButton>, answers);
        QFETCH(QString, file);
        QFETCH(bool, closed);
        QFETCH(bool, saved);
        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        recorder->changes_answers = answers;
        recorder->answers << (file.isEmpty() ? QString() : dir->filePath(file));

        QCOMPARE(window->close(), closed);

        QCOMPARE(recorder->changes_questions,
                 QList<QString>{"The settings have changes that are not saved to a file, written to the device or "
                                "built into a remote update file.\nSave them to a file before closing?"});
        QCOMPARE(window->isVisible(), !closed);
        QCOMPARE(recorder->dialogs.size(), answers.first() == QMessageBox::Save ? 1 : 0);
        QCOMPARE(QFile::exists(dir->filePath("station.cfg")), saved);
        QVERIFY(recorder->boxes.isEmpty());
    }

    // Reading settings in replaces the edits as closing drops them, so it asks the same way.
    void reading_over_unsaved_changes_asks_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("read");
        QTest::newRow("Read from file, Cancel") << "Button2" << QMessageBox::Cancel << false;
        QTest::newRow("Read from file, Discard") << "Button2" << QMessageBox::Discard << true;
        QTest::newRow("Read config, Cancel") << "Button4" << QMessageBox::Cancel << false;
    }
    void reading_over_unsaved_changes_asks() {
        QFETCH(QString, button);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, read);
        const QString station = dir->filePath("station.cfg");
        recorder->answers << station;
        click("Button1");
        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        recorder->changes_answers = {answer};
        recorder->answers << station;
        const auto dialogs = recorder->dialogs.size();

        click(qPrintable(button));

        QCOMPARE(recorder->changes_questions,
                 QList<QString>{"The settings have changes that are not saved to a file, written to the device or "
                                "built into a remote update file.\nSave them to a file before they are replaced?"});
        QCOMPARE(recorder->dialogs.size(), dialogs + (read && button == "Button2" ? 1 : 0));
        QCOMPARE(window->store().text("Callsign"), std::string(read ? "NOCALL" : "OK1XYZ"));
    }

    void a_close_without_changes_does_not_ask() {
        recorder->answers << dir->filePath("station.cfg");
        click("Button1");
        QVERIFY(window->close());
        QVERIFY(recorder->changes_questions.isEmpty());
    }

    void save_dialogs_ask_before_replacing_a_file_data() {
        QTest::addColumn<bool>("remote_update");
        QTest::newRow("Save to file") << false;
        QTest::newRow("Build remote update file") << true;
    }
    // Qt's own dialog, as the offscreen platform has no native one: No leaves the dialog open,
    // Yes takes the file.
    void save_dialogs_ask_before_replacing_a_file() {
        QFETCH(bool, remote_update);
        const auto& decl = remote_update ? window->ruf_save_dialog() : window->save_dialog();
        const QString existing = dir->filePath(remote_update ? "old.ruf" : "old.cfg");
        write_file(existing, "kept");
        const auto dialog = zyvora_app::make_file_dialog(window.get(), decl);
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setDirectory(dir->path());
        dialog->open();
        dialog->selectFile(existing);

        QStringList questions;
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                questions << box->text();
                box->button(answer)->click();
            });
            static_cast<QDialog*>(dialog.get())->accept();  // as the dialog's own button does
            QCOMPARE(dialog->isVisible(), answer == QMessageBox::No);
        }
        QCOMPARE(questions.size(), 2);
        QVERIFY2(questions[0].contains(QFileInfo(existing).fileName()), qPrintable(questions[0]));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->selectedFiles(), QStringList{existing});
    }

    void a_dropped_settings_file_is_read_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("read");
        QTest::newRow("settings file") << QStringList{"dropped.cfg"} << true;
        QTest::newRow("capital suffix") << QStringList{"DROPPED.CFG"} << true;
        QTest::newRow("another file") << QStringList{"dropped.txt"} << false;
        QTest::newRow("two files") << QStringList{"dropped.cfg", "other.cfg"} << false;
    }
    void a_dropped_settings_file_is_read() {
        QFETCH(QStringList, files);
        QFETCH(bool, read);
        QList<QUrl> urls;
        for (const QString& name : files) {
            write_file(dir->filePath(name), kHeader + "[Radio]\nCallsign=DL1ABC\n");
            urls << QUrl::fromLocalFile(dir->filePath(name));
        }
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at = window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        QCOMPARE(enter.isAccepted(), read);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &drop);
        QCoreApplication::processEvents();  // the read waits for the drop to end

        QCOMPARE(window->store().text("Callsign"), std::string(read ? "DL1ABC" : "NOCALL"));
        QCOMPARE(shown_title(), read ? files.first() + " - " + kCaption : kCaption);
        // A file read tells what it lacks, as the log does, in a notice.
        const auto [log, outcome] = log_and_outcome(*window);
        QCOMPARE(outcome, read ? "Read from file done: " + dir->filePath(files.first()) : QString());
        QCOMPARE(recorder->boxes, read ? only(BoxKind::Notice, log) : QList<Box>());
    }

    // What "Read from file" shows, the start-up read shows too.
    void opening_a_file_shows_the_messages_of_a_read() {
        const QString file = dir->filePath("foreign.cfg");
        write_file(file, "[!WARNING]\nApplication=Something else\n");
        QVERIFY(!window->open_file(file));
        QCOMPARE(recorder->boxes,
                 only(BoxKind::Information,
                      "Imported configuration file is not a Zyvora Plus 2.0 configuration file. \nOperation aborted."));
        QCOMPARE(shown_title(), kCaption);
    }

private:
    void read_settings(const QByteArray& text) {
        const QString file = dir->filePath("station.cfg");
        write_file(file, text);
        recorder->answers << file;
        click("Button2");
        // What the short file lacks, as the log tells it, in a notice.
        const auto [log, outcome] = log_and_outcome(*window);
        QCOMPARE(outcome, "Read from file done: " + file);
        QCOMPARE(recorder->boxes, only(BoxKind::Notice, log));
        recorder->boxes.clear();
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(*window, name), Qt::LeftButton); }
    QString shown_title() const { return window->windowHandle()->title(); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<zyvora::SimulatedDevice> device;
    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
