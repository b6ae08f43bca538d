// The connection buttons against a simulated device: "Read config", "Write config" and "Upload
// firmware" as the window runs them, what they log and show, and what reaches the device; the
// upload's question and file dialog, and a close asked while an operation runs.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

#include "device_flows.h"
#include "filter_window.h"
#include "folders.h"
#include "main_window.h"
#include "multi_row_tabs.h"
#include "recorder.h"
#include "write_preview.h"
#include "simulated_device.h"

using zyvora_app::BoxKind;
using zyvora_app::TForm1;

namespace {

const QString kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124";
const QString kVersions = "Firmware version: 1.13\r\nHardware version: Zyvora Plus 2.0 simulated hardware";
// The status log's last line after a read.
const QString kReadDone = "Read config done: Firmware version: 1.13, Hardware version: Zyvora Plus 2.0 simulated hardware";
const char* const kDeviceButtons[] = {"Button1", "Button2", "Button3", "Button4", "Button5", "Button12"};
const char* const kDateTimeEdits[] = {"Rtcyear", "Rtcmonth", "Rtcday", "Rtchour", "Rtcmin"};

zyvora::SimOptions factory_device() {
    zyvora::SimOptions options;
    options.factory_image = zyvora::factory_image(zyvora::Registry::instance());
    return options;
}

using Values = std::vector<std::tuple<std::string, int, bool>>;

Values values_of(const zyvora::ControlStore& store) {
    Values values;
    for (std::size_t i = 0; i < store.size(); ++i) {
        const int id = static_cast<int>(i);
        values.emplace_back(store.text(id), store.index(id), store.checked(id));
    }
    return values;
}

int requests_with_command(const zyvora::SimulatedDevice& device, std::uint8_t command) {
    const auto& requests = device.requests();
    return static_cast<int>(
        std::count_if(requests.begin(), requests.end(), [&](const zyvora::Report& r) { return r[1] == command; }));
}

constexpr std::uint8_t kReadPage = 0xFC;
constexpr std::uint8_t kWritePage = 0xFD;
constexpr std::uint8_t kFirmwarePage = 0xFE;

const QString kReadRefusal =
    "The device's settings are being read. Closing now would stop the read half way.\n"
    "The window closes when the read ends.";
// The question of a write that changes nothing on the device.
// The advice on the start-up settings under the change list, with the beacons' airtime at a TX
// delay of 250 ms (or as given).
QString advised(const QString& airtime = "10.0") {
    return "Advice on these settings:\n"
           "    Path rule 1 digipeats WIDEn-N up to n = 7 for every station: the New-N paradigm has digipeaters trap "
           "paths of more than 2 (at most 3) hops so that one packet does not flood the network. Set n <= to 2 or 3.\n"
           "    Beacon 1 goes out on RF every 5 min: a fixed station sends every 10 minutes or less often (30 is "
           "common), leaving the shared channel to others.\n"
           "    The weather report goes out on RF every 5 min: a fixed station sends every 10 minutes or less often "
           "(30 is common), leaving the shared channel to others.\n"
           "    The beacons put about 1044 bytes an hour on the channel: " + airtime +
           " s of airtime an hour at 1200 baud.\n\n";
}
const QString kNothingChanges = "No setting will change.\n\n" + advised() + "Write the settings to the device anyway?";
// How a write or an upload ended is also told in a notice, which a screen reader reads out.
const QString kVerified = "Verify success: the device holds every byte that was written.";
const QString kCancelled = "Write config cancelled: nothing was written to the device.";
// BACKUP stands for the line that names where the settings read before it were filed, whose file
// name holds the time.
const QString kNowReports = "The device now reports firmware 1.13, hardware Zyvora Plus 2.0 simulated hardware.";
const QString kUploadDone = "Upload firmware done: firmware.bin, 64 bytes";
const Box kUploaded{zyvora_app::BoxKind::Notice, "BACKUP\nFirmware upgrade success\n" + kNowReports};

// The status log of an upload of two pages, `told` the line that names the image, `done` its summary.
QStringList two_pages_uploaded(const QString& told, const QString& done = kUploadDone) {
    QStringList lines{kFound, told};
    for (int p = 1; p <= 512; ++p) lines << QString("Page read: %1/512").arg(p);
    return lines << "BACKUP" << "Page written: 1/2" << "Page written: 2/2" << "Firmware upgrade success" << kFound
                 << kNowReports << done;
}
const QString kTransferRefusal =
    "A transfer to the device is running. Closing now could leave the device with an incomplete configuration "
    "or firmware.\nThe window closes when the transfer ends.";

void write_firmware(const QString& path, int size) {
    const QByteArray bytes = stand_in_firmware(size);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(size));
}

// The simulated device, with the test's hand in the middle of a transfer: `hook` runs before
// each request reaches the device, with the request and how many of its command came before.
class HookedPort : public zyvora::DevicePort {
public:
    using Hook = std::function<void(const zyvora::Report& request, int earlier)>;
    HookedPort(zyvora::SimulatedDevice& device, Hook hook) : port_(device), hook_(std::move(hook)) {}

    std::unique_ptr<zyvora::Transport> open(zyvora::Feedback& feedback) override {
        auto inner = port_.open(feedback);
        if (!inner) return nullptr;
        return std::make_unique<Hooked>(std::move(inner), *this);
    }

private:
    class Hooked : public zyvora::Transport {
    public:
        Hooked(std::unique_ptr<zyvora::Transport> inner, HookedPort& port) : inner_(std::move(inner)), port_(port) {}
        // The hook acts as the user would, on the window's thread, while this request waits.
        int write(const zyvora::Report& request) override {
            const int earlier = port_.counts_[request[1]]++;
            QMetaObject::invokeMethod(
                qApp, [&] { port_.hook_(request, earlier); },
                QThread::currentThread() == qApp->thread() ? Qt::DirectConnection : Qt::BlockingQueuedConnection);
            return inner_->write(request);
        }
        int read(zyvora::Report& reply) override { return inner_->read(reply); }

    private:
        std::unique_ptr<zyvora::Transport> inner_;
        HookedPort& port_;
    };

    zyvora::SimulatedPort port_;
    Hook hook_;
    std::map<std::uint8_t, int> counts_;
};

}  // namespace

class DeviceTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        window.reset();  // its port refers to the device
        device.reset();
        recorder.reset();
    }

    void read_config_decodes_and_shows_the_versions() {
        QTemporaryDir data;
        const QByteArray previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        zyvora::SimOptions options = factory_device();
        zyvora::put_call(*options.factory_image, 14, "DL1ABC");
        zyvora::finish_frame(*options.factory_image, 7);
        start(options);
        click("Button4");

        QCOMPARE(window->store().text("Callsign"), std::string("DL1ABC"));
        QCOMPARE(child<QLineEdit>(*window, "Callsign")->text(), QString("DL1ABC"));
        QCOMPARE(recorder->boxes, only(BoxKind::Message, kVersions));
        const QStringList lines = log_lines();
        QCOMPARE(lines.size(), 1 + 512 + 1 + 1 + 1);
        QCOMPARE(lines.first(), kFound);
        QCOMPARE(lines[1], QString("Page read: 1/512"));
        QCOMPARE(lines[512], QString("Page read: 512/512"));
        QCOMPARE(lines[513], QString("Eeprom read success."));
        QCOMPARE(lines[514], kFound);  // opened again for the versions
        QCOMPARE(lines[515], kReadDone);
        QCOMPARE(window->incoming_image(), *options.factory_image);
        qputenv("XDG_DATA_HOME", previous);
        const auto book = zyvora::book_entries(data.filePath("zyvora-configurator/stations").toStdString(), "");
        QCOMPARE(book.entries.size(), std::size_t{1});
        QCOMPARE(book.entries[0].kind, zyvora::EntryKind::read);
        QCOMPARE(book.entries[0].call, std::string("DL1ABC-0"));
        QCOMPARE(book.entries[0].hardware, std::optional<std::string>("Zyvora Plus 2.0 simulated hardware"));
    }

    void the_device_text_is_shown_escaped() {
        zyvora::SimOptions options = factory_device();
        options.hardware_version = "rev B\r\nEeprom write success\x1b[2J";
        start(options);
        click("Button4");
        QCOMPARE(recorder->boxes,
                 only(BoxKind::Message,
                      "Firmware version: 1.13\r\nHardware version: rev B\\r\\nEeprom write success\\x1B[2J"));
    }

    void two_reads_leave_both_runs_in_the_log() {
        start(factory_device());
        click("Button4");
        const QStringList first = log_lines();
        click("Button4");
        QCOMPARE(log_lines(), first + first);
        QCOMPARE(recorder->boxes, QList<Box>({{BoxKind::Message, kVersions}, {BoxKind::Message, kVersions}}));
    }

    void read_config_of_another_version_keeps_the_controls() {
        zyvora::SimOptions options = factory_device();
        zyvora::Image& image = *options.factory_image;
        zyvora::put_call(image, 14, "DL1ABC");
        std::copy_n("v1.12", 5, image.begin() + zyvora::kVersionOffset);
        zyvora::finish_frame(image, 7);
        start(options);
        const Values before = values_of(window->store());
        click("Button4");

        QCOMPARE(recorder->boxes.size(), 1);
        QCOMPARE(recorder->boxes[0].kind, BoxKind::Information);
        QCOMPARE(recorder->boxes[0].text, QString::fromStdString(zyvora::version_mismatch_message(image)));
        QCOMPARE(log_lines().mid(log_lines().size() - 2),
                 QStringList({"Eeprom read error. Please reload configuration.",
                              "Read config did not complete: Eeprom read error. Please reload configuration."}));
        QVERIFY(values_of(window->store()) == before);
        QCOMPARE(child<QLineEdit>(*window, "Callsign")->text(), QString("NOCALL"));
    }

    void write_config_with_an_invalid_setting_does_not_open_the_device() {
        start(factory_device());
        retype(child<QLineEdit>(*window, "Txdelay"), "199");
        click("Button5");
        QCOMPARE(recorder->boxes, only(BoxKind::Information, "TX delay - range error (200 - 1000)."));
        QCOMPARE(log_lines(), QStringList{"Write config did not complete: TX delay - range error (200 - 1000)."});
        QVERIFY(device->requests().empty());
    }

    void write_config_refuses_another_firmware_version() {
        zyvora::SimOptions options = factory_device();
        options.firmware_version = 112;
        start(options);
        click("Button5");
        QCOMPARE(recorder->boxes,
                 only(BoxKind::Information,
                      "Uncompatible firmware version:\nDevice: 1.12\nConfigurator: 1.13\n\n"
                      "You need to upload new firmware using \"Upload firmware\" button."));
        QCOMPARE(log_lines(), QStringList({kFound, "Write config did not complete: Uncompatible firmware version: "
                                                   "Device: 1.12 Configurator: 1.13 You need to upload new firmware "
                                                   "using \"Upload firmware\" button."}));
        QCOMPARE(requests_with_command(*device, kWritePage), 0);
        QCOMPARE(device->eeprom(), *options.factory_image);
    }

    // A change written to the device comes back from it over a later change in the window.
    // Write config in the window is the safe write: backup, write, read-back.
    void write_then_read_round_trip() {
        QTemporaryDir data;
        const QByteArray previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        start(factory_device());
        auto* callsign = child<QLineEdit>(*window, "Callsign");
        retype(callsign, "OK1XYZ");
        recorder->replies << true;
        click("Button5");
        qputenv("XDG_DATA_HOME", previous);
        const QStringList lines = log_lines();
        QCOMPARE(lines.size(), 1 + 512 + 1 + 512 + 1 + 512 + 1 + 1);
        QCOMPARE(lines[512], QString("Page read: 512/512"));
        const QStringList backups = QDir(data.filePath("zyvora-configurator/backups")).entryList({"*.cfg"});
        QCOMPARE(backups.size(), 1);
        const QString backup = "Backup of the device's settings: " + data.filePath("zyvora-configurator/backups/") +
                               backups[0];
        QCOMPARE(lines[513], backup);
        QCOMPARE(recorder->boxes, QList<Box>({{BoxKind::Question, "1 setting will change:\nRadio:\n    Callsign: "
                                                                  "NOCALL -> OK1XYZ\n\n" + advised() + "Write the settings to the device?"},
                                              {BoxKind::Notice, backup + '\n' + kVerified}}));
        QCOMPARE(lines[1025], QString("Page written: 512/512"));
        QCOMPARE(lines[1026], QString("Eeprom write success"));
        QCOMPARE(lines[1539], QString("Verify success: the device holds every byte that was written."));
        QCOMPARE(lines.last(), "Write config done and verified: Firmware version: 1.13, Backup: " +
                                   data.filePath("zyvora-configurator/backups/") + backups[0]);
        QCOMPARE(requests_with_command(*device, kWritePage), 512);
        QCOMPARE(requests_with_command(*device, kReadPage), 1024);
        QCOMPARE(device->eeprom(), window->outgoing_image());
        recorder->boxes.clear();

        retype(callsign, "NOCALL");
        click("Button4");
        QCOMPARE(callsign->text(), QString("OK1XYZ"));
        QCOMPARE(window->store().text("Callsign"), std::string("OK1XYZ"));
        QCOMPARE(requests_with_command(*device, kReadPage), 1536);
        QCOMPARE(recorder->boxes, only(BoxKind::Message, kVersions));
    }

    // Write config reads the device first and asks with what the write changes, as diff tells
    // it: No leaves the device as it was and makes no backup, Yes writes.
    void write_config_asks_with_what_changes() {
        QTemporaryDir data;
        const QByteArray previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        const zyvora::SimOptions options = factory_device();
        start(options);
        retype(child<QLineEdit>(*window, "Txdelay"), "400");
        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        const QString question = "2 settings will change:\n"
                                 "Radio:\n"
                                 "    Callsign: NOCALL -> OK1XYZ\n"
                                 "    TX delay [ms]: 250 -> 400\n\n" +
                                 advised("11.8") + "Write the settings to the device?";
        click("Button5");
        QCOMPARE(recorder->boxes, QList<Box>({{BoxKind::Question, question}, {BoxKind::Notice, kCancelled}}));
        QCOMPARE(log_lines().last(), kCancelled);
        QCOMPARE(requests_with_command(*device, kWritePage), 0);
        QCOMPARE(device->eeprom(), *options.factory_image);
        QVERIFY(!QDir(data.filePath("zyvora-configurator")).exists());

        recorder->replies << true;
        click("Button5");
        qputenv("XDG_DATA_HOME", previous);
        const QStringList backups = QDir(data.filePath("zyvora-configurator/backups")).entryList({"*.cfg"});
        QCOMPARE(backups.size(), 1);
        QCOMPARE(recorder->boxes.mid(2),
                 QList<Box>({{BoxKind::Question, question},
                             {BoxKind::Notice, "Backup of the device's settings: " +
                                                   data.filePath("zyvora-configurator/backups/") + backups[0] + '\n' +
                                                   kVerified}}));
        QCOMPARE(log_lines().at(log_lines().size() - 2), kVerified);
        QCOMPARE(device->eeprom(), window->outgoing_image());
        // Filed in the station book as the command line files: what was replaced, then what was written.
        const auto book = zyvora::book_entries(data.filePath("zyvora-configurator/stations").toStdString(), "");
        QCOMPARE(book.entries.size(), std::size_t{2});
        QCOMPARE(book.entries[0].kind, zyvora::EntryKind::written);  // newest first
        QCOMPARE(book.entries[0].call, std::string("OK1XYZ-0"));
        QCOMPARE(book.entries[0].station, std::string("SIM"));
        QCOMPARE(book.entries[1].kind, zyvora::EntryKind::before_write);
        QCOMPARE(book.entries[1].call, std::string("NOCALL-0"));
    }

    // Choices, check boxes and table rows read as the page shows them: the item, ticked or not,
    // the numbered row; each page's caption over its changes.
    void the_change_list_reads_as_the_pages_do() {
        start(factory_device());
        for (const char* name : {"Pathn3_active", "Squelch"}) {
            auto* combo = child<QComboBox>(*window, name);
            combo->setCurrentIndex(1);
            emit combo->activated(1);
        }
        child<QCheckBox>(*window, "Pathn2_areaall")->click();
        retype(child<QLineEdit>(*window, "Beacon6_txrate_rf"), "30");
        retype(child<QLineEdit>(*window, "www_password"), "hilltop");
        click("Button5");
        QCOMPARE(recorder->boxes.first(),
                 Box({BoxKind::Question, "5 settings will change:\n"
                                         "Radio:\n"
                                         "    Squelch level: 1 (lowest) -> 2\n"
                                         "Digipeater / PATH filter rules:\n"
                                         "    Path rule 2, Area ALL: ticked -> not ticked\n"
                                         "    Path rule 3, Enable if: Never -> Always\n"
                                         "Beacons / Beacons 5-8:\n"
                                         "    Beacon 6, RF [min]: 0 -> 30\n"
                                         "Remote access / WWW:\n"
                                         "    WWW password: (hidden) -> (hidden)\n\n" +
                                             advised() + "Write the settings to the device?"}));
    }

    // A station moved by kilometres, as a slip in its position does, heads the question; a move
    // within a kilometre follows the list.
    void the_question_says_how_far_the_points_move() {
        start(factory_device());
        retype(child<QLineEdit>(*window, "Longitude"), "01640.14E");
        retype(child<QLineEdit>(*window, "Area_rad1_longitude"), "01644.39E");
        click("Button5");
        QCOMPARE(recorder->boxes.first(),
                 Box({BoxKind::Question, "The station position moves 20.4 km (bearing 270\u00b0).\n\n"
                                         "2 settings will change:\n"
                                         "Radio:\n"
                                         "    Longitude: 01658.14E -> 01640.14E\n"
                                         "Digipeater / PATH Filter areas:\n"
                                         "    Area RAD1 longitude: 01643.89E -> 01644.39E\n\n"
                                         "The RAD1 area point moves 566 m (bearing 90\u00b0).\n\n" +
                                             advised() + "Write the settings to the device?"}));
    }

    // A box taller than the screen hides its buttons: a list of up to sixteen lines shows whole,
    // a longer one its first lines and how many changes are left, never a page caption alone.
    void a_long_list_of_changes_is_cut() {
        const zyvora::Registry& registry = zyvora::Registry::instance();
        for (const int count : {8, 40}) {
            zyvora::WritePreview preview{true, {}};
            for (int i = 0; i < count; ++i) preview.changes.push_back({registry.save_rows()[i], "a", "b"});
            QStringList lines = zyvora_app::write_question(registry, preview).split(u'\n');
            QCOMPARE(lines.first(), QString("%1 settings will change:").arg(count));
            QCOMPARE(lines.mid(lines.size() - 2), QStringList({"", "Write the settings to the device?"}));
            lines = lines.mid(1, lines.size() - 3);
            QVERIFY(lines.size() <= 16);
            const auto shown = std::count_if(lines.begin(), lines.end(), [](const QString& l) { return l.startsWith("    "); });
            if (count == 8) {
                QCOMPARE(shown, 8);
            } else {
                QCOMPARE(lines.last(), QString("... and %1 more.").arg(count - shown));
                QVERIFY2(lines[lines.size() - 2].startsWith("    "), qPrintable(lines[lines.size() - 2]));
            }
        }
    }

    // Without a list to show the write still asks; No leaves the device as it was.
    void write_config_asks_without_a_list_data() {
        QTest::addColumn<bool>("erased");
        QTest::addColumn<QString>("question");
        QTest::newRow("nothing changes") << false << kNothingChanges;
        QTest::newRow("erased device") << true
                                       << "The device holds no valid configuration.\n\n" + advised() +
                                              "Write the settings to the device?";
    }
    void write_config_asks_without_a_list() {
        QFETCH(bool, erased);
        QFETCH(QString, question);
        zyvora::SimOptions options = factory_device();
        options.erased = erased;
        start(options);
        const zyvora::Image before = device->eeprom();
        click("Button5");
        QCOMPARE(recorder->boxes, QList<Box>({{BoxKind::Question, question}, {BoxKind::Notice, kCancelled}}));
        QCOMPARE(requests_with_command(*device, kWritePage), 0);
        QCOMPARE(device->eeprom(), before);
    }

    void upload_firmware_disables_the_device_buttons_while_it_runs() {
        start(factory_device());
        QTemporaryDir dir;
        const QString path = dir.filePath("firmware.bin");
        write_firmware(path, 64);
        window->set_firmware_file(path);
        recorder->replies << true;

        // Looked at while the first page is on its way.
        QList<bool> enabled_during;
        window->set_device_port(std::make_unique<HookedPort>(*device, [&](const zyvora::Report& request, int earlier) {
            if (request[1] != kFirmwarePage || earlier != 0) return;
            for (const char* name : kDeviceButtons) enabled_during.append(button(name)->isEnabled());
            // The keys of the file buttons are off with them.
            for (const char* name : {"ActionReadFromFile", "ActionSave", "ActionSaveAs"}) {
                enabled_during.append(child<QAction>(*window, name)->isEnabled());
            }
            enabled_during.append(child<QLineEdit>(*window, "Callsign")->isEnabled());
        }));
        click("Button3");

        QCOMPARE(enabled_during, QList<bool>({false, false, false, false, false, false, false, false, false, true}));
        for (const char* name : kDeviceButtons) QVERIFY2(button(name)->isEnabled(), name);
        QCOMPARE(recorder->boxes, with_backup({{BoxKind::Question, "Upload firmware firmware.bin (64 bytes) to the "
                                                                   "device?\nThe upload takes about 1 second; do not "
                                                                   "unplug the device until it ends."},
                                               kUploaded}));
        QCOMPARE(log_lines(), with_backup(two_pages_uploaded("Firmware from " + path + ": 64 bytes in 2 pages")));
        QCOMPARE(device->firmware_pages().size(), std::size_t{2});
        QCOMPARE(device->firmware_pages()[0].data[0], std::uint8_t{1});
        QCOMPARE(device->firmware_pages()[1].data[0], std::uint8_t{33});
    }

    // The file may change while the question waits for its answer: what the question named is
    // what the device gets.
    void the_upload_sends_what_the_question_named() {
        start(factory_device());
        QTemporaryDir dir;
        const QString path = dir.filePath("firmware.bin");
        write_firmware(path, 64);
        window->set_firmware_file(path);
        window->set_box_presenter([&](zyvora_app::BoxKind kind, const QString& text, const QString&) {
            recorder->boxes.append({kind, text, {}});
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(QByteArray(96, '\x5A')) == 96;
        });
        click("Button3");

        QCOMPARE(recorder->boxes.size(), 2);
        QCOMPARE(recorder->boxes[1], with_backup({kUploaded}).front());
        QCOMPARE(log_lines(), with_backup(two_pages_uploaded("Firmware from " + path + ": 64 bytes in 2 pages")));
        QCOMPARE(device->firmware_pages().size(), std::size_t{2});
        QCOMPARE(device->firmware_pages()[1].data[31], std::uint8_t{64});
    }

    // No is the answer when none is queued: nothing reaches the device, which is not even opened.
    void the_upload_question_names_the_file_its_size_and_the_time_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("question");
        const QString tail = "; do not unplug the device until it ends.";
        QTest::newRow("one page") << "one.bin" << 32
                                  << "Upload firmware one.bin (32 bytes) to the device?\n"
                                     "The upload takes about 1 second" + tail;
        QTest::newRow("1153 pages, 1.499 s") << "a.bin" << 1153 * 32
                                             << "Upload firmware a.bin (36896 bytes) to the device?\n"
                                                "The upload takes about 1 second" + tail;
        QTest::newRow("one page more, 1154 pages, 1.500 s")
            << "b.bin" << 1154 * 32
            << "Upload firmware b.bin (36928 bytes) to the device?\nThe upload takes about 2 seconds" + tail;
        QTest::newRow("272384 bytes") << "zyvora-fw.bin" << 272384
                                      << "Upload firmware zyvora-fw.bin (272384 bytes) to the device?\n"
                                         "The upload takes about 11 seconds" + tail;
        QTest::newRow("as much as the device takes") << "full.img" << 497664
                                                     << "Upload firmware full.img (497664 bytes) to the device?\n"
                                                        "The upload takes about 20 seconds" + tail;
    }
    void the_upload_question_names_the_file_its_size_and_the_time() {
        QFETCH(QString, file);
        QFETCH(int, size);
        QFETCH(QString, question);
        start(factory_device());
        QTemporaryDir dir;
        write_firmware(dir.filePath(file), size);
        window->set_firmware_file(dir.filePath(file));
        click("Button3");
        QCOMPARE(recorder->boxes, only(BoxKind::Question, question));
        QVERIFY(device->requests().empty());
        QCOMPARE(log_lines(), QStringList{"Upload firmware cancelled: nothing was sent to the device."});
        QVERIFY(recorder->dialogs.isEmpty());
        for (const char* name : kDeviceButtons) QVERIFY2(button(name)->isEnabled(), name);
    }

    // The image the build carries needs no dialog; a build without one has its own test below.
    void the_upload_question_names_the_built_in_image() {
        if (!zyvora::FirmwareStore::embedded().carries_image()) QSKIP("this build carries no firmware image");
        start(factory_device());
        click("Button3");
        QVERIFY(recorder->dialogs.isEmpty());
        QCOMPARE(recorder->boxes.size(), 1);
        QCOMPARE(recorder->boxes[0].kind, BoxKind::Question);
        QVERIFY2(recorder->boxes[0].text.startsWith("Upload the firmware image built into this program ("),
                 qPrintable(recorder->boxes[0].text));
        QVERIFY(device->requests().empty());
    }

    // A build without an image asks for a file each time: cancelled, nothing happens; a file
    // the store refuses is named before any question; a good one goes after a Yes.
    void without_an_image_the_upload_asks_for_a_file() {
        start(factory_device());
        window->set_firmware(zyvora::FirmwareStore{});
        click("Button3");
        QCOMPARE(recorder->dialogs.size(), 1);
        const zyvora_app::FileDialogDecl& dialog = recorder->dialogs[0];
        QCOMPARE(dialog.name, QString("Firmware_OpenDialog"));
        QVERIFY(!dialog.save);
        QCOMPARE(dialog.folder, documents_or_home());
        QCOMPARE(dialog.file_name, QString());
        QCOMPARE(dialog.filter, QString("Firmware images (*.bin);;All files (*)"));
        QVERIFY(recorder->boxes.isEmpty());
        QCOMPARE(log_lines(), QStringList{"Upload firmware cancelled: no firmware file was chosen."});
        QVERIFY(device->requests().empty());
        for (const char* name : kDeviceButtons) QVERIFY2(button(name)->isEnabled(), name);

        QTemporaryDir dir;
        write_firmware(dir.filePath("empty.bin"), 0);
        recorder->answers << dir.filePath("empty.bin");
        click("Button3");
        QCOMPARE(recorder->boxes, only(BoxKind::Information, "Firmware file is empty."));
        QVERIFY(device->requests().empty());

        // What is plainly no firmware image is refused before the question.
        recorder->boxes.clear();
        write_firmware(dir.filePath("cut.bin"), 100);
        recorder->answers << dir.filePath("cut.bin");
        click("Button3");
        QCOMPARE(recorder->boxes, only(BoxKind::Information, dir.filePath("cut.bin") +
                                                                 " is not a firmware image: its 100 bytes are not a "
                                                                 "whole number of 32-byte pages; it may be cut short"));
        QVERIFY(device->requests().empty());
        QCOMPARE(log_lines().mid(1), QStringList({"Upload firmware did not complete: Firmware file is empty.",
                                                  "Upload firmware did not complete: " + dir.filePath("cut.bin") +
                                                      " is not a firmware image: its 100 bytes are not a whole "
                                                      "number of 32-byte pages; it may be cut short"}));

        recorder->boxes.clear();
        write_firmware(dir.filePath("chosen.bin"), 64);
        recorder->answers << dir.filePath("chosen.bin");
        recorder->replies << true;
        click("Button3");
        QCOMPARE(recorder->dialogs.size(), 4);
        QCOMPARE(recorder->boxes, with_backup({{BoxKind::Question, "Upload firmware chosen.bin (64 bytes) to the "
                                                                   "device?\nThe upload takes about 1 second; do not "
                                                                   "unplug the device until it ends."},
                                               kUploaded}));
        // After the two refusals above.
        QCOMPARE(log_lines().mid(3),
                 with_backup(two_pages_uploaded("Firmware from " + dir.filePath("chosen.bin") + ": 64 bytes in 2 pages",
                                                "Upload firmware done: chosen.bin, 64 bytes")));
        QCOMPARE(device->firmware_pages().size(), std::size_t{2});
        QCOMPARE(device->firmware_pages()[1].data[31], std::uint8_t{64});

        // The file is asked for again: the next upload may want another.
        recorder->boxes.clear();
        click("Button3");
        QCOMPARE(recorder->dialogs.size(), 5);
        QVERIFY(recorder->boxes.isEmpty());
        QCOMPARE(device->firmware_pages().size(), std::size_t{2});
    }

    // The window takes its events during every transfer. A close asked then is refused with the
    // reason; the transfer goes on to its end, and then the window closes.
    void closing_during_a_device_operation_waits_for_its_end_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("page_command");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("success");
        QTest::addColumn<QList<Box>>("boxes");
        QTest::newRow("Read config") << "Button4" << int(kReadPage) << 512 << "Eeprom read success."
                                     << QList<Box>{{BoxKind::Notice, kReadRefusal}, {BoxKind::Message, kVersions}};
        // BACKUP stands for the backup line, whose file name holds the time.
        QTest::newRow("Write config") << "Button5" << int(kWritePage) << 512 << "Eeprom write success"
                                      << QList<Box>{{BoxKind::Question, kNothingChanges},
                                                    {BoxKind::Notice, kTransferRefusal},
                                                    {BoxKind::Notice, "BACKUP\n" + kVerified}};
        const QString question = "Upload firmware big.bin (6400 bytes) to the device?\n"
                                 "The upload takes about 1 second; do not unplug the device until it ends.";
        QTest::newRow("Upload firmware")
            << "Button3" << int(kFirmwarePage) << 200 << "Firmware upgrade success"
            << QList<Box>{{BoxKind::Question, question}, {BoxKind::Notice, kTransferRefusal}, kUploaded};
    }
    void closing_during_a_device_operation_waits_for_its_end() {
        QFETCH(QString, button);
        QFETCH(int, page_command);
        QFETCH(int, pages);
        QFETCH(QString, success);
        QFETCH(QList<Box>, boxes);
        start(factory_device());
        QTemporaryDir dir;
        write_firmware(dir.filePath("big.bin"), 6400);
        window->set_firmware_file(dir.filePath("big.bin"));
        recorder->replies << true;

        QList<bool> during;  // visible after the close, then each device button's state
        window->set_device_port(std::make_unique<HookedPort>(*device, [&](const zyvora::Report& request, int earlier) {
            if (request[1] != page_command || earlier != 10) return;
            window->close();
            during.append(window->isVisible());
            for (const char* name : kDeviceButtons) during.append(this->button(name)->isEnabled());
        }));
        click(qPrintable(button));

        QCOMPARE(during, QList<bool>({true, false, false, false, false, false, false}));
        const QStringList backup = log_lines().filter(QRegularExpression("^Backup of the device's settings: "));
        for (Box& box : boxes) box.text.replace("BACKUP", backup.value(0));
        QCOMPARE(recorder->boxes, boxes);
        QCOMPARE(requests_with_command(*device, static_cast<std::uint8_t>(page_command)), pages);
        QVERIFY2(log_lines().contains(success), qPrintable(log_lines().join('\n')));
        // The outcome came before the close, and no window is left to keep the event loop running.
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.begin(), windows.end(), [](const QWidget* w) { return w->isVisible(); }));
    }

    // What is typed or ticked while the device is read or written is refused, not lost: a read
    // would overwrite it and a write would leave it out while the title called it written.
    void the_pages_take_no_input_during_a_transfer_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("page_command");
        QTest::addColumn<QString>("callsign_after");
        QTest::newRow("Read config") << "Button4" << int(kReadPage) << "NOCALL";
        QTest::newRow("Write config") << "Button5" << int(kWritePage) << "OK1XYZ";
    }
    void the_pages_take_no_input_during_a_transfer() {
        QFETCH(QString, button);
        QFETCH(int, page_command);
        QFETCH(QString, callsign_after);
        zyvora::SimOptions options = factory_device();
        options.reply_latency = std::chrono::milliseconds(1);
        start(options);
        auto* callsign = child<QLineEdit>(*window, "Callsign");
        auto* upload_time = child<QCheckBox>(*window, "Uploadpctime");
        auto* filter_ssid = child<QLineEdit>(window->filter_window(), "Packet2rf_filter_ssid07");
        const QString ssid_before = filter_ssid->text();
        retype(callsign, "OK1XYZ");
        QVERIFY(window->isWindowModified());
        recorder->replies << true;

        QList<bool> during;  // the edit's and the box's state after the user's try, the title's `*`
        window->set_device_port(std::make_unique<HookedPort>(*device, [&](const zyvora::Report& request, int earlier) {
            if (request[1] != page_command || earlier != 400) return;
            callsign->setFocus();
            QTest::keyClick(callsign, Qt::Key_End);
            QTest::keyClicks(callsign, "SP5XYZ");
            QTest::mouseClick(upload_time, Qt::LeftButton);
            QTest::keyClick(upload_time, Qt::Key_Space);
            QTest::keyClicks(filter_ssid, "5");
            during << (callsign->text() == "OK1XYZ") << upload_time->isChecked() << window->isWindowModified()
                   << (filter_ssid->text() == ssid_before);
        }));
        click(qPrintable(button));

        QCOMPARE(during, QList<bool>({true, true, true, true}));
        QCOMPARE(callsign->text(), callsign_after);
        QCOMPARE(window->store().text("Callsign"), callsign_after.toStdString());
        QVERIFY(upload_time->isChecked());
        // The window now holds exactly what the device holds.
        QVERIFY(!window->isWindowModified());
        QCOMPARE(device->eeprom(), button == "Button5" ? window->outgoing_image() : window->incoming_image());
        // Once the transfer is over the pages take input again.
        retype(callsign, "SP5XYZ");
        QCOMPARE(window->store().text("Callsign"), std::string("SP5XYZ"));
        QVERIFY(window->isWindowModified());
    }

    // Stop during a read ends it at the next page and leaves the window as it was.
    void stop_during_read_config_changes_nothing() {
        zyvora::SimOptions options = factory_device();
        zyvora::put_call(*options.factory_image, 14, "DL1ABC");
        zyvora::finish_frame(*options.factory_image, 7);
        options.reply_latency = std::chrono::milliseconds(1);
        start(options);
        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        const Values before = values_of(window->store());
        auto* stop = button("ButtonStop");
        QVERIFY(!stop->isVisible());
        QCOMPARE(stop->accessibleName(), QString("Stop"));
        QList<bool> shown;
        window->set_device_port(std::make_unique<HookedPort>(*device, [&](const zyvora::Report& request, int earlier) {
            if (request[1] != kReadPage || earlier != 100) return;
            shown << stop->isVisible();
            QTest::mouseClick(stop, Qt::LeftButton);
        }));
        click("Button4");
        QCOMPARE(shown, QList<bool>{true});
        QVERIFY(!stop->isVisible());
        QCOMPARE(requests_with_command(*device, kReadPage), 101);
        QVERIFY(values_of(window->store()) == before);
        QVERIFY(window->isWindowModified());
        QCOMPARE(recorder->boxes, only(BoxKind::Notice, "Read config stopped by an interrupt."));
        QVERIFY2(!log_lines().contains("Eeprom read success."), qPrintable(log_lines().join('\n')));
    }

    // Stop during a write asks first: Yes stops it at the next page, leaving the device half
    // written and saying where its previous settings are; No (here through Esc) lets it finish.
    void stop_during_write_config_asks_first_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void stop_during_write_config_asks_first() {
        QFETCH(bool, confirmed);
        QTemporaryDir data;
        const QByteArray previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        zyvora::SimOptions options = factory_device();
        options.reply_latency = std::chrono::milliseconds(1);
        start(options);
        const zyvora::Image factory = device->eeprom();
        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        recorder->replies << true << confirmed;
        window->set_device_port(std::make_unique<HookedPort>(*device, [&](const zyvora::Report& request, int earlier) {
            if (request[1] != kWritePage || earlier != 200) return;
            if (confirmed) QTest::mouseClick(button("ButtonStop"), Qt::LeftButton);
            else QTest::keyClick(window.get(), Qt::Key_Escape);
        }));
        click("Button5");
        qputenv("XDG_DATA_HOME", previous);

        const QString question = "The device is being written; stopping now would leave it with an incomplete "
                                 "configuration.\n\nStop now?";
        QCOMPARE(recorder->boxes.size(), 3);
        QCOMPARE(recorder->boxes[1], (Box{BoxKind::Question, question}));
        if (confirmed) {
            const QStringList backups = QDir(data.filePath("zyvora-configurator/backups")).entryList({"*.cfg"});
            QCOMPARE(backups.size(), 1);
            QCOMPARE(recorder->boxes[2],
                     (Box{BoxKind::Information,
                          "Write config stopped after page 201/512: the device holds an incomplete configuration. "
                          "Write the settings to it again before it is used.\nThe device's previous settings are "
                          "saved in " + data.filePath("zyvora-configurator/backups/") + backups[0] +
                              "; write that file to restore them."}));
            QCOMPARE(requests_with_command(*device, kWritePage), 201);
            QVERIFY(device->eeprom() != factory);  // the new call sign went out; pages after 201 did not
            QVERIFY(window->isWindowModified());
        } else {
            QCOMPARE(requests_with_command(*device, kWritePage), 512);
            QCOMPARE(log_lines().at(log_lines().size() - 2),
                     QString("Verify success: the device holds every byte that was written."));
            QCOMPARE(device->eeprom(), window->outgoing_image());
            QVERIFY(!window->isWindowModified());
        }
    }

    // Stop during an upload asks first, with the CLI's words; Yes stops it at the next page.
    void stop_during_an_upload_asks_first() {
        zyvora::SimOptions options = factory_device();
        options.reply_latency = std::chrono::milliseconds(1);
        start(options);
        QTemporaryDir dir;
        write_firmware(dir.filePath("big.bin"), 6400);
        window->set_firmware_file(dir.filePath("big.bin"));
        recorder->replies << true << true;
        window->set_device_port(std::make_unique<HookedPort>(*device, [&](const zyvora::Report& request, int earlier) {
            if (request[1] == kFirmwarePage && earlier == 100) QTest::mouseClick(button("ButtonStop"), Qt::LeftButton);
        }));
        click("Button3");
        QCOMPARE(recorder->boxes.size(), 3);
        QCOMPARE(recorder->boxes[1], (Box{BoxKind::Question, "The firmware is being uploaded; stopping now would leave "
                                                             "the device without working firmware.\n\nStop now?"}));
        QCOMPARE(recorder->boxes[2],
                 (Box{BoxKind::Information, "Firmware upload stopped after page 101/200: the device holds incomplete "
                                            "firmware. Upload the firmware again before it is used."}));
        QCOMPARE(requests_with_command(*device, kFirmwarePage), 101);
        QVERIFY(button("Button3")->isEnabled());
    }

    // A close from the window system reaches the window while it reads, through the events it
    // takes at its pages; it is not left for after the read.
    void a_close_from_the_window_system_during_a_read() {
        zyvora::SimOptions options = factory_device();
        options.reply_latency = std::chrono::microseconds(200);  // the read spans many event passes
        start(options);
        int notice_seen_at = -1;  // the read page at which the refusal had been shown
        bool visible_then = false;
        window->set_device_port(std::make_unique<HookedPort>(*device, [&](const zyvora::Report& request, int earlier) {
            if (request[1] != kReadPage) return;
            if (earlier == 10) QCoreApplication::postEvent(window->windowHandle(), new QCloseEvent);
            if (notice_seen_at < 0 && !recorder->boxes.isEmpty()) {
                notice_seen_at = earlier;
                visible_then = window->isVisible();
            }
        }));
        click("Button4");

        QVERIFY2(notice_seen_at > 10 && notice_seen_at < 512, qPrintable(QString::number(notice_seen_at)));
        QVERIFY(visible_then);
        QCOMPARE(recorder->boxes, QList<Box>({{BoxKind::Notice, kReadRefusal}, {BoxKind::Message, kVersions}}));
        QCOMPARE(requests_with_command(*device, kReadPage), 512);
        QVERIFY(!window->isVisible());
    }

    // A refused close is done once, at the end of its operation; the next operation leaves the
    // window open, and with nothing running a close is not held back.
    void a_refused_close_is_done_once_and_a_close_outside_an_operation_at_once() {
        start(factory_device());
        window->set_device_port(std::make_unique<HookedPort>(*device, [&](const zyvora::Report& request, int earlier) {
            if (request[1] == kReadPage && earlier == 0) window->close();
        }));
        click("Button4");
        QVERIFY(!window->isVisible());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        recorder->boxes.clear();
        click("Button4");
        QVERIFY(window->isVisible());
        QCOMPARE(recorder->boxes, only(BoxKind::Message, kVersions));
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QCOMPARE(recorder->boxes.size(), 1);
    }

    void no_device_stops_every_flow_at_open() {
        zyvora::SimOptions options = factory_device();
        options.not_found = true;
        start(options);
        QTemporaryDir dir;
        write_firmware(dir.filePath("firmware.bin"), 64);
        window->set_firmware_file(dir.filePath("firmware.bin"));
        recorder->replies << true;
        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        for (const char* name : {"Button4", "Button5", "Button3"}) click(name);
        QStringList not_found_lines;
        for (const char* operation : {"Read config", "Write config", "Upload firmware"}) {
            not_found_lines << "Zyvora Plus 2.0 not found."
                            << QString(operation) + " did not complete: Zyvora Plus 2.0 not found.";
        }
        QCOMPARE(log_lines(), not_found_lines);
        // Each time also in a notice, which a screen reader reads out.
        const Box not_found{BoxKind::Notice, "Zyvora Plus 2.0 not found."};
        QCOMPARE(recorder->boxes, QList<Box>({not_found, not_found,
                                              {BoxKind::Question, "Upload firmware firmware.bin (64 bytes) to the "
                                                                  "device?\nThe upload takes about 1 second; do not "
                                                                  "unplug the device until it ends."},
                                              not_found}));
        QCOMPARE(window->store().text("Callsign"), std::string("OK1XYZ"));
        for (const char* name : kDeviceButtons) QVERIFY2(button(name)->isEnabled(), name);
    }

    // The date and time edits take the PC's time while the box is checked, typed values otherwise.
    void the_upload_pc_time_box_switches_the_date_and_time_edits() {
        start(factory_device());
        auto* upload_time = child<QCheckBox>(*window, "Uploadpctime");
        const auto edits_enabled = [&] {
            QList<bool> enabled;
            for (const char* name : kDateTimeEdits) enabled.append(child<QLineEdit>(*window, name)->isEnabled());
            return enabled;
        };
        QVERIFY(upload_time->isChecked());
        QCOMPARE(edits_enabled(), QList<bool>(5, false));

        show_page("TabSheet_rtcntp_time");
        QTest::mouseClick(upload_time, Qt::LeftButton, {}, QPoint(6, upload_time->height() / 2));
        QVERIFY(!window->store().checked("Uploadpctime"));
        QCOMPARE(edits_enabled(), QList<bool>(5, true));

        // "Use NTP server" runs the same handler, which looks only at the upload box.
        auto* ntp = child<QCheckBox>(*window, "Ntp_enable");
        QTest::mouseClick(ntp, Qt::LeftButton, {}, QPoint(6, ntp->height() / 2));
        QVERIFY(!window->store().checked("Ntp_enable"));
        QCOMPARE(edits_enabled(), QList<bool>(5, true));

        QTest::mouseClick(upload_time, Qt::LeftButton, {}, QPoint(6, upload_time->height() / 2));
        QCOMPARE(edits_enabled(), QList<bool>(5, false));
        QVERIFY(recorder->boxes.isEmpty());
    }

    void the_rtc_page_shows_its_captions_and_note() {
        start(factory_device());
        show_page("TabSheet_rtcntp_time");
        auto* page = child<QWidget>(*window, "TabSheet_rtcntp_time");
        QStringList captions;
        for (const QLabel* label : page->findChildren<QLabel*>()) {
            if (label->isVisible()) captions.append(label->text());
        }
        for (const char* caption : {"Year:", "Month:", "Day:", "Hour:", "Minute:", "NTP server:"}) {
            QVERIFY2(captions.contains(caption), caption);
        }
        auto* note = child<QLabel>(*window, "TabSheet_rtcntp_time_note");
        QVERIFY(note);
        QCOMPARE(note->text(), QString("Internal Real Time Clock is updated when the device exits config mode and "
                                       "enters normal mode. To get exact time please change to normal mode quickly "
                                       "after config write."));
        QVERIFY(note->wordWrap());
        QVERIFY(note->isVisible());
        // Whole on the page: wrapped within its width, not cut at the page's edge.
        const QRect on_page(note->mapTo(page, QPoint(0, 0)), note->size());
        QVERIFY(page->rect().contains(on_page));
        QVERIFY(note->height() >= note->heightForWidth(note->width()));
        QCOMPARE(child<QCheckBox>(*window, "Uploadpctime")->text(), QString("Upload PC system time on config write"));
        QCOMPARE(child<QCheckBox>(*window, "Ntp_enable")->text(), QString("Use NTP server"));
    }

private:
    void start(zyvora::SimOptions options) {
        zyvora_app::window_settings().remove("Folders");  // no folder chosen in an earlier run
        std::string error;
        device = zyvora::SimulatedDevice::create(std::move(options), &error);
        QVERIFY2(device, error.c_str());
        show_recorded(window, recorder, std::make_unique<zyvora::SimulatedPort>(*device));
    }
    QPushButton* button(const char* name) { return child<QPushButton>(*window, name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    QStringList log_lines() {
        const QString text = child<QPlainTextEdit>(*window, "Memo1")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }
    // The log line that names the backup filed last, for BACKUP in what a test expects.
    QString backup_line() {
        return log_lines().filter(QRegularExpression("^Backup of the device's settings: ")).value(0);
    }
    QList<Box> with_backup(QList<Box> boxes) {
        for (Box& box : boxes) box.text.replace("BACKUP", backup_line());
        return boxes;
    }
    QStringList with_backup(QStringList lines) {
        lines.replaceInStrings(QRegularExpression("^BACKUP$"), backup_line());
        return lines;
    }
    void show_page(const char* name) {
        child<zyvora_app::MultiRowTabWidget>(*window, "PageControl1")->setCurrentWidget(child<QWidget>(*window, name));
        QCoreApplication::processEvents();
    }

    std::unique_ptr<zyvora::SimulatedDevice> device;
    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
};

QTEST_MAIN(DeviceTest)
#include "device_test.moc"
