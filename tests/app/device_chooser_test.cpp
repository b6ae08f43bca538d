// Several devices attached: the chooser dialog itself, and the window asking through it once per
// operation, taking the device chosen, and sending nothing when it is cancelled.
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <map>

#include "device_chooser.h"
#include "device_flows.h"
#include "hid.h"
#include "main_window.h"
#include "recorder.h"
#include "simulated_device.h"

using zyvora_app::BoxKind;
using zyvora_app::DeviceChooser;
using zyvora_app::TForm1;

namespace {

const QString kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124";
const QString kVersions = "Firmware version: 1.13\r\nHardware version: Zyvora Plus 2.0 simulated hardware";
const QStringList kThree = {"/dev/hidraw1 (serial number 3657A8B2)", "/dev/hidraw2 (serial number 3657A8C0)",
                            "/dev/hidraw3 (no serial number)"};

// Simulated devices on the HID bus, each with its own callsign in its EEPROM.
class SimulatedBus : public zyvora::HidBackend {
public:
    explicit SimulatedBus(std::vector<zyvora::HidInterface> interfaces) : interfaces_(std::move(interfaces)) {
        int n = 0;
        for (const auto& i : interfaces_) {
            zyvora::SimOptions options;
            options.factory_image = zyvora::factory_image(zyvora::Registry::instance());
            zyvora::put_call(*options.factory_image, 14, "DL" + std::to_string(++n) + "ABC");
            zyvora::finish_frame(*options.factory_image, 7);
            devices[i.path] = zyvora::SimulatedDevice::create(options, nullptr);
        }
    }
    std::vector<zyvora::HidInterface> enumerate() override { return interfaces_; }
    zyvora::HidOpening open(const std::string& path) override {
        zyvora::HidOpening opening;
        opening.transport = zyvora::SimulatedPort(*devices.at(path)).open(silent_);
        return opening;
    }
    // How many requests each device got, in path order.
    QList<int> requests() const {
        QList<int> counts;
        for (const auto& [path, device] : devices) counts.append(static_cast<int>(device->requests().size()));
        return counts;
    }

    std::map<std::string, std::unique_ptr<zyvora::SimulatedDevice>> devices;

private:
    std::vector<zyvora::HidInterface> interfaces_;
    zyvora::SilentFeedback silent_;
};

std::vector<zyvora::HidInterface> attached(int count) {
    const std::vector<zyvora::HidInterface> three = {{"/dev/hidraw1", "HID\\VID_0483&PID_A124", "3657A8B2"},
                                                     {"/dev/hidraw2", "HID\\VID_0483&PID_A124", "3657A8C0"},
                                                     {"/dev/hidraw3", "HID\\VID_0483&PID_A124", ""}};
    return {three.begin(), three.begin() + count};
}

}  // namespace

class DeviceChooserTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        window.reset();
        recorder.reset();
        asked.clear();
        answers.clear();
    }

    void the_dialog_lists_the_devices_and_gives_the_row_chosen() {
        const struct {
            const char* how;
            int row;
            bool accepted;
        } cases[] = {{"ok", 2, true}, {"double click", 1, true}, {"cancel", 1, false}, {"ok on the first", 0, true}};
        for (const auto& c : cases) {
            DeviceChooser dialog(kThree);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QCOMPARE(dialog.objectName(), QString("DeviceChooser"));
            QCOMPARE(child<QLabel>(dialog, "DeviceChooserLabel")->text(),
                     QString("Several Zyvora Plus 2.0 devices are attached. Choose the one to use:"));
            auto* list = child<QListWidget>(dialog, "DeviceList");
            QStringList rows;
            for (int i = 0; i < list->count(); ++i) rows.append(list->item(i)->text());
            QCOMPARE(rows, kThree);
            QCOMPARE(dialog.chosen(), 0);

            auto* buttons = child<QDialogButtonBox>(dialog, "DeviceChooserButtons");
            const QRect row = list->visualItemRect(list->item(c.row));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
            if (QString(c.how) == "double click") {
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
            } else {
                const auto which = QString(c.how) == "cancel" ? QDialogButtonBox::Cancel : QDialogButtonBox::Ok;
                QTest::mouseClick(buttons->button(which), Qt::LeftButton);
            }
            QVERIFY2(!dialog.isVisible(), c.how);
            QCOMPARE(dialog.result(), c.accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
            QCOMPARE(dialog.chosen(), c.row);
        }
    }

    void ok_waits_for_a_device_to_be_selected() {
        DeviceChooser dialog(kThree);
        dialog.show();
        auto* ok = child<QDialogButtonBox>(dialog, "DeviceChooserButtons")->button(QDialogButtonBox::Ok);
        QVERIFY(ok->isEnabled());
        child<QListWidget>(dialog, "DeviceList")->clearSelection();
        QVERIFY(!ok->isEnabled());
        QCOMPARE(dialog.chosen(), -1);
    }

    // One question for the read and the versions after it; the chosen device alone is asked.
    void read_config_asks_once_and_reads_the_device_chosen() {
        start(3);
        answers = {1};
        click("Button4");
        QCOMPARE(asked, QList<QStringList>{kThree});
        QCOMPARE(window->store().text("Callsign"), std::string("DL2ABC"));
        QCOMPARE(child<QLineEdit>(*window, "Callsign")->text(), QString("DL2ABC"));
        QCOMPARE(recorder->boxes, only(BoxKind::Message, kVersions));
        QCOMPARE(log_lines().first(), kFound);
        // Opened again for the versions, unasked.
        QCOMPARE(log_lines().mid(log_lines().size() - 2),
                 QStringList({kFound, "Read config done: Firmware version: 1.13, Hardware version: Zyvora Plus 2.0 "
                                      "simulated hardware"}));
        QCOMPARE(bus->requests()[0], 0);
        QVERIFY(bus->requests()[1] > 0);
        QCOMPARE(bus->requests()[2], 0);

        // The next operation asks again.
        answers = {2};
        click("Button4");
        QCOMPARE(asked, QList<QStringList>({kThree, kThree}));
        QCOMPARE(window->store().text("Callsign"), std::string("DL3ABC"));
    }

    void cancel_ends_every_operation_with_nothing_sent() {
        start(3);
        for (const char* name : {"Button4", "Button5"}) click(name);
        QCOMPARE(asked, QList<QStringList>(2, kThree));
        QCOMPARE(bus->requests(), QList<int>({0, 0, 0}));
        QCOMPARE(log_lines(), QStringList({"Read config cancelled: no device was chosen.",
                                           "Write config cancelled: no device was chosen."}));
        QCOMPARE(window->store().text("Callsign"), std::string("NOCALL"));
        QVERIFY(recorder->boxes.isEmpty());
    }

    void one_device_is_taken_without_asking_and_none_is_not_found() {
        start(1);
        click("Button4");
        QVERIFY(asked.isEmpty());
        QCOMPARE(window->store().text("Callsign"), std::string("DL1ABC"));
        QCOMPARE(log_lines().first(), kFound);

        start(0);
        click("Button4");
        QVERIFY(asked.isEmpty());
        QCOMPARE(log_lines(), QStringList({"Zyvora Plus 2.0 not found.",
                                           "Read config did not complete: Zyvora Plus 2.0 not found."}));
    }

private:
    void start(int devices) {
        auto backend = std::make_unique<SimulatedBus>(attached(devices));
        bus = backend.get();
        window = std::make_unique<TForm1>();
        recorder = std::make_unique<Recorder>();
        recorder->attach(*window);
        window->set_device_asker([this](const QStringList& names) -> std::optional<int> {
            asked.append(names);
            if (answers.isEmpty()) return std::nullopt;
            return answers.takeFirst();
        });
        window->set_device_port(std::make_unique<zyvora::HidPort>(std::move(backend)));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(*window, name), Qt::LeftButton); }
    QStringList log_lines() {
        const QString text = child<QPlainTextEdit>(*window, "Memo1")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }

    SimulatedBus* bus = nullptr;  // owned by the window's port
    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
    QList<QStringList> asked;
    QList<int> answers;  // the rows to answer with; none left: cancel
};

QTEST_MAIN(DeviceChooserTest)
#include "device_chooser_test.moc"
