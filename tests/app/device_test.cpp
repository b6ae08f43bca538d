// The connection buttons against a simulated device: "Read config", "Write config" and "Upload
// firmware" as the window runs them, what they log and show, and what reaches the device.
#include <QCheckBox>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <tuple>

#include "device_flows.h"
#include "main_window.h"
#include "multi_row_tabs.h"
#include "recorder.h"
#include "simulated_device.h"

using zyvora_app::BoxKind;
using zyvora_app::TForm1;

namespace {

const QString kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124";
const QString kVersions = "Firmware version: 1.13\r\nHardware version: Zyvora Plus 2.0 simulated hardware";
const char* const kDeviceButtons[] = {"Button1", "Button2", "Button3", "Button4", "Button5", "Button12"};
const char* const kDateTimeEdits[] = {"Rtcyear", "Rtcmonth", "Rtcday", "Rtchour", "Rtcmin"};

zyvora::SimOptions factory_device() {
    zyvora::SimOptions options;
    options.factory_image = zyvora::factory_image(zyvora::Registry::instance());
    return options;
}

void retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    type_text(edit, text);
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
        zyvora::SimOptions options = factory_device();
        zyvora::put_call(*options.factory_image, 14, "DL1ABC");
        zyvora::finish_frame(*options.factory_image, 7);
        start(options);
        click("Button4");

        QCOMPARE(window->store().text("Callsign"), std::string("DL1ABC"));
        QCOMPARE(child<QLineEdit>(*window, "Callsign")->text(), QString("DL1ABC"));
        QCOMPARE(recorder->boxes, only(BoxKind::Message, kVersions));
        const QStringList lines = log_lines();
        QCOMPARE(lines.size(), 1 + 512 + 1 + 1);
        QCOMPARE(lines.first(), kFound);
        QCOMPARE(lines[1], QString("Page read: 1/512"));
        QCOMPARE(lines[512], QString("Page read: 512/512"));
        QCOMPARE(lines[513], QString("Eeprom read success."));
        QCOMPARE(lines[514], kFound);  // opened again for the versions
        QCOMPARE(window->incoming_image(), *options.factory_image);
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
        QCOMPARE(log_lines().last(), QString("Eeprom read error. Please reload configuration."));
        QVERIFY(values_of(window->store()) == before);
        QCOMPARE(child<QLineEdit>(*window, "Callsign")->text(), QString("NOCALL"));
    }

    void write_config_with_an_invalid_setting_does_not_open_the_device() {
        start(factory_device());
        retype(child<QLineEdit>(*window, "Txdelay"), "199");
        click("Button5");
        QCOMPARE(recorder->boxes, only(BoxKind::Information, "TX delay - range error (200 - 1000)."));
        QCOMPARE(log_lines(), QStringList());
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
        QCOMPARE(log_lines(), QStringList{kFound});
        QCOMPARE(requests_with_command(*device, kWritePage), 0);
        QCOMPARE(device->eeprom(), *options.factory_image);
    }

    // A change written to the device comes back from it over a later change in the window.
    void write_then_read_round_trip() {
        start(factory_device());
        auto* callsign = child<QLineEdit>(*window, "Callsign");
        retype(callsign, "OK1XYZ");
        click("Button5");
        QVERIFY(recorder->boxes.isEmpty());
        QCOMPARE(log_lines().last(), QString("Eeprom write success"));
        QCOMPARE(log_lines()[512], QString("Page written: 512/512"));
        QCOMPARE(requests_with_command(*device, kWritePage), 512);
        QCOMPARE(device->eeprom(), window->outgoing_image());

        retype(callsign, "NOCALL");
        click("Button4");
        QCOMPARE(callsign->text(), QString("OK1XYZ"));
        QCOMPARE(window->store().text("Callsign"), std::string("OK1XYZ"));
        QCOMPARE(requests_with_command(*device, kReadPage), 512);
        QCOMPARE(recorder->boxes, only(BoxKind::Message, kVersions));
    }

    void upload_firmware_disables_the_device_buttons_while_it_runs() {
        start(factory_device());
        QTemporaryDir dir;
        const QString path = dir.filePath("firmware.bin");
        QByteArray bytes(33, '\0');
        for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i + 1);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        window->set_firmware(zyvora::FirmwareStore::from_file(path.toStdString()));

        // Runs at the first pass of the window's event processing, which is inside the upload.
        QList<bool> enabled_during;
        QMetaObject::invokeMethod(
            this,
            [&] {
                for (const char* name : kDeviceButtons) enabled_during.append(button(name)->isEnabled());
                enabled_during.append(child<QLineEdit>(*window, "Callsign")->isEnabled());
            },
            Qt::QueuedConnection);
        click("Button3");

        QCOMPARE(enabled_during, QList<bool>({false, false, false, false, false, false, true}));
        for (const char* name : kDeviceButtons) QVERIFY2(button(name)->isEnabled(), name);
        QVERIFY(recorder->boxes.isEmpty());
        QCOMPARE(log_lines(), QStringList({kFound, "Page written: 1/2", "Page written: 2/2", "Firmware upgrade success"}));
        QCOMPARE(device->firmware_pages().size(), std::size_t{2});
        QCOMPARE(device->firmware_pages()[0].data[0], std::uint8_t{1});
        QCOMPARE(device->firmware_pages()[1].data[0], std::uint8_t{33});
    }

    void upload_firmware_without_an_image() {
        start(factory_device());
        window->set_firmware(zyvora::FirmwareStore{});
        click("Button3");
        QCOMPARE(recorder->boxes, only(BoxKind::Information, "Firmware resource not found (FindResource)."));
        QCOMPARE(log_lines(), QStringList{kFound});
        QVERIFY(device->firmware_pages().empty());
        for (const char* name : kDeviceButtons) QVERIFY2(button(name)->isEnabled(), name);
    }

    void no_device_stops_every_flow_at_open() {
        zyvora::SimOptions options = factory_device();
        options.not_found = true;
        start(options);
        retype(child<QLineEdit>(*window, "Callsign"), "OK1XYZ");
        for (const char* name : {"Button4", "Button5", "Button3"}) click(name);
        QCOMPARE(log_lines(), QStringList(3, "Zyvora Plus 2.0 not found."));
        QVERIFY(recorder->boxes.isEmpty());
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
        std::string error;
        device = zyvora::SimulatedDevice::create(std::move(options), &error);
        QVERIFY2(device, error.c_str());
        window = std::make_unique<TForm1>();
        recorder = std::make_unique<Recorder>();
        recorder->attach(*window);
        window->set_device_port(std::make_unique<zyvora::SimulatedPort>(*device));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    QPushButton* button(const char* name) { return child<QPushButton>(*window, name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    QStringList log_lines() {
        const QString text = child<QPlainTextEdit>(*window, "Memo1")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
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
