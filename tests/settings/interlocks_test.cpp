// The RS-232 port interlocks (Bluetooth, port 1, port 2 and the weather station model), the
// rest of the external interfaces tab and where they sit in the image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/area_fixture.h"
#include "settingsfile.h"

namespace zyvora {
namespace {

using namespace std::string_literals;
using Interlocks = test::AreaFixture;

// Port functions and station models by their item index.
constexpr int kNoSelection = -1, kNone = 0, kStation = 1, kGps = 2, kGamma = 3, kKiss = 4;
constexpr int kNoModel = 0, kWs2300 = 5, kWs2350 = 6, kVantagePro = 7, kVantagePro2 = 8;

constexpr const char* kOneStation = "Weather station can be selected on one port only.";
constexpr const char* kOneGps = "GPS can be selected on one port only.";
constexpr const char* kOneGamma = "RSS-131 gamma monitor can be selected on one port only.";
constexpr const char* kOneKiss = "KISS output can be selected on one port only.";
constexpr const char* kBluetooth = "If Bluetooth interface support is enabled, then port 2 must be disabled.";
constexpr const char* kStationOn1 =
    "If WS-2300 or WS-2350 station is selected on port 1, then port 2 can work in RX-only mode (e.g. GPS).";
constexpr const char* kStationOn2 =
    "If WS-2300 or WS-2350 station is selected on port 2, then port 1 can work in RX-only mode (e.g. GPS).";

std::string to_none(int port, const std::string& reason) {
    return "RS-232 port " + std::to_string(port) + " changed to None.\rReason:\r" + reason;
}

struct Ports {
    int model, port1, port2, bluetooth;
};

void set_ports(ControlStore& store, const Ports& p) {
    store.set_index("Weather_stationtype", p.model);
    store.set_index("Serial1_mode", p.port1);
    store.set_index("Serial2_mode", p.port2);
    store.set_index("Bluetooth_connected", p.bluetooth);
}

TEST_F(Interlocks, EveryRuleOfTheFourHandlers) {
    struct Case {
        Ports before;
        const char* picked;  // the control the user picks an item of
        int pick;
        int port1_after, port2_after;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        // Port 1: a transmitting function beside a WS-2300/2350 on port 2 is taken back.
        {{kWs2300, kNone, kStation, 0}, "Serial1_mode", kKiss, kNone, kStation, {to_none(1, kStationOn2)}},
        {{kWs2350, kGps, kStation, 0}, "Serial1_mode", kGamma, kNone, kStation, {to_none(1, kStationOn2)}},
        {{kWs2300, kNone, kStation, 0}, "Serial1_mode", kGps, kGps, kStation, {}},
        {{kVantagePro, kNone, kStation, 0}, "Serial1_mode", kKiss, kKiss, kStation, {}},
        {{kNoModel, kNone, kStation, 0}, "Serial1_mode", kGamma, kGamma, kStation, {}},
        // Port 1: the same function on both ports, or a station that leaves port 2 receive-only.
        {{kWs2300, kNone, kStation, 0}, "Serial1_mode", kStation, kStation, kNone, {to_none(2, kOneStation)}},
        {{kVantagePro, kGps, kStation, 0}, "Serial1_mode", kStation, kStation, kNone, {to_none(2, kOneStation)}},
        {{kWs2300, kNone, kKiss, 0}, "Serial1_mode", kStation, kStation, kNone, {to_none(2, kStationOn1)}},
        {{kWs2350, kNone, kGamma, 0}, "Serial1_mode", kStation, kStation, kNone, {to_none(2, kStationOn1)}},
        {{kVantagePro2, kNone, kKiss, 0}, "Serial1_mode", kStation, kStation, kKiss, {}},
        {{kWs2300, kNone, kGps, 0}, "Serial1_mode", kStation, kStation, kGps, {}},
        {{kWs2300, kStation, kGps, 0}, "Serial1_mode", kGps, kGps, kNone, {to_none(2, kOneGps)}},
        {{kWs2300, kStation, kGamma, 0}, "Serial1_mode", kGamma, kGamma, kNone, {to_none(2, kOneGamma)}},
        {{kWs2300, kStation, kKiss, 0}, "Serial1_mode", kKiss, kKiss, kNone, {to_none(2, kOneKiss)}},
        {{kWs2300, kStation, kGps, 0}, "Serial1_mode", kKiss, kKiss, kGps, {}},
        {{kWs2300, kStation, kNone, 0}, "Serial1_mode", kNone, kNone, kNone, {}},
        {{kWs2300, kGps, kStation, 0}, "Serial1_mode", kNone, kNone, kStation, {}},
        {{kWs2300, kStation, kGps, 0}, "Serial1_mode", kNoSelection, kNoSelection, kGps, {}},
        {{kWs2300, kStation, kNoSelection, 0}, "Serial1_mode", kKiss, kKiss, kNoSelection, {}},

        // Port 2: the mirror image.
        {{kWs2300, kStation, kNone, 0}, "Serial2_mode", kKiss, kStation, kNone, {to_none(2, kStationOn1)}},
        {{kWs2350, kStation, kGps, 0}, "Serial2_mode", kGamma, kStation, kNone, {to_none(2, kStationOn1)}},
        {{kWs2300, kStation, kNone, 0}, "Serial2_mode", kGps, kStation, kGps, {}},
        {{kVantagePro, kStation, kNone, 0}, "Serial2_mode", kKiss, kStation, kKiss, {}},
        {{kWs2300, kStation, kGps, 0}, "Serial2_mode", kStation, kNone, kStation, {to_none(1, kOneStation)}},
        {{kWs2300, kKiss, kNone, 0}, "Serial2_mode", kStation, kNone, kStation, {to_none(1, kStationOn2)}},
        {{kWs2350, kGamma, kGps, 0}, "Serial2_mode", kStation, kNone, kStation, {to_none(1, kStationOn2)}},
        {{kNoModel, kKiss, kGps, 0}, "Serial2_mode", kStation, kKiss, kStation, {}},
        {{kWs2300, kGps, kStation, 0}, "Serial2_mode", kGps, kNone, kGps, {to_none(1, kOneGps)}},
        {{kWs2300, kGamma, kGps, 0}, "Serial2_mode", kGamma, kNone, kGamma, {to_none(1, kOneGamma)}},
        {{kWs2300, kKiss, kGps, 0}, "Serial2_mode", kKiss, kNone, kKiss, {to_none(1, kOneKiss)}},
        {{kWs2300, kGps, kStation, 0}, "Serial2_mode", kKiss, kGps, kKiss, {}},
        {{kWs2300, kStation, kGps, 0}, "Serial2_mode", kNone, kStation, kNone, {}},
        {{kWs2300, kStation, kGps, 0}, "Serial2_mode", kNoSelection, kStation, kNoSelection, {}},
        // The port 2 handler does not look at Bluetooth: a function can be chosen while "Yes" stays.
        {{kWs2300, kStation, kNone, 1}, "Serial2_mode", kGps, kStation, kGps, {}},

        // A new model runs the port 1 handler, then the port 2 handler, with the new model.
        {{kVantagePro, kStation, kKiss, 0}, "Weather_stationtype", kWs2350, kStation, kNone, {to_none(2, kStationOn1)}},
        {{kVantagePro, kGamma, kStation, 0}, "Weather_stationtype", kWs2300, kNone, kStation, {to_none(1, kStationOn2)}},
        {{kWs2300, kStation, kKiss, 0}, "Weather_stationtype", kVantagePro, kStation, kKiss, {}},
        {{kWs2300, kStation, kGps, 0}, "Weather_stationtype", kWs2350, kStation, kGps, {}},
        {{kWs2300, kGps, kGps, 0}, "Weather_stationtype", kNoModel, kGps, kNone, {to_none(2, kOneGps)}},

        // Bluetooth takes port 2 whatever it holds.
        {{kWs2300, kStation, kGps, 0}, "Bluetooth_connected", 1, kStation, kNone, {to_none(2, kBluetooth)}},
        {{kWs2300, kGps, kStation, 0}, "Bluetooth_connected", 1, kGps, kNone, {to_none(2, kBluetooth)}},
        {{kWs2300, kStation, kNoSelection, 0}, "Bluetooth_connected", 1, kStation, kNone, {to_none(2, kBluetooth)}},
        {{kWs2300, kStation, kNone, 0}, "Bluetooth_connected", 1, kStation, kNone, {}},
        {{kWs2300, kStation, kGps, 1}, "Bluetooth_connected", 0, kStation, kGps, {}},
        {{kWs2300, kStation, kStation, 1}, "Bluetooth_connected", 0, kStation, kStation, {}},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.picked) + "=" + std::to_string(c.pick) + " from model " +
                                 std::to_string(c.before.model) + ", ports " + std::to_string(c.before.port1) +
                                 "/" + std::to_string(c.before.port2) + ", Bluetooth " +
                                 std::to_string(c.before.bluetooth);
        store_ = test::startup_store(registry_);
        set_ports(store_, c.before);
        store_.set_index(c.picked, c.pick);
        const ChangeHandler* handler = registry_.change_handler(c.picked);
        ASSERT_NE(handler, nullptr) << c.picked;
        EXPECT_EQ(handler->run(store_), c.messages) << what;
        EXPECT_EQ(store_.index("Serial1_mode"), c.port1_after) << what;
        EXPECT_EQ(store_.index("Serial2_mode"), c.port2_after) << what;
        const bool bluetooth_picked = std::string(c.picked) == "Bluetooth_connected";
        EXPECT_EQ(store_.index("Bluetooth_connected"), bluetooth_picked ? c.pick : c.before.bluetooth) << what;
        const bool model_picked = std::string(c.picked) == "Weather_stationtype";
        EXPECT_EQ(store_.index("Weather_stationtype"), model_picked ? c.pick : c.before.model) << what;
    }
}

TEST_F(Interlocks, StartUpDefaultsSettleWithoutAMessage) {
    ControlStore store = registry_.make_store();
    EXPECT_EQ(registry_.settle(store), std::vector<std::string>{});
    EXPECT_EQ(store.index("Serial1_mode"), kStation);
    EXPECT_EQ(store.index("Serial2_mode"), kGps);
    EXPECT_EQ(store.index("Bluetooth_connected"), 0);
    EXPECT_EQ(store.index("Weather_stationtype"), kWs2300);
}

TEST_F(Interlocks, ReadingAFileSettlesBluetoothThenPort1ThenPort2) {
    struct Case {
        const char* file;
        int port1_after, port2_after;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"[ExternalDevices]\nSerial1_mode=4\nSerial2_mode=4\n", kKiss, kNone, {to_none(2, kOneKiss)}},
        {"[ExternalDevices]\nSerial1_mode=1\nSerial2_mode=1\n", kStation, kNone, {to_none(2, kOneStation)}},
        // Bluetooth first: port 2 is already "None" when port 1's handler looks at it.
        {"[ExternalDevices]\nBluetooth_connected=1\nSerial1_mode=2\nSerial2_mode=2\n", kGps, kNone,
         {to_none(2, kBluetooth)}},
        // Port 1's handler first: its receive-only rule takes port 1 itself back.
        {"[Weather]\nWeather_stationtype=6\n[ExternalDevices]\nSerial1_mode=3\nSerial2_mode=1\n", kNone, kStation,
         {to_none(1, kStationOn2)}},
        {"[Weather]\nWeather_stationtype=7\n[ExternalDevices]\nSerial1_mode=3\nSerial2_mode=1\n", kGamma, kStation,
         {}},
        // Without the section every port key takes its default.
        {"[Weather]\nWeather_comment=x\n", kStation, kGps, {}},
    };
    for (const Case& c : cases) {
        store_ = test::startup_store(registry_);
        set_ports(store_, {kVantagePro, kKiss, kGamma, 1});  // what the file replaces
        SettingsFile file;
        ASSERT_TRUE(file.parse(c.file)) << c.file;
        read(registry_, store_, file);
        EXPECT_EQ(registry_.settle(store_), c.messages) << c.file;
        EXPECT_EQ(store_.index("Serial1_mode"), c.port1_after) << c.file;
        EXPECT_EQ(store_.index("Serial2_mode"), c.port2_after) << c.file;
    }
}

TEST_F(Interlocks, AFileWithoutExternalDevicesGivesTheirDefaultsBeforeSettling) {
    set_ports(store_, {kWs2300, kKiss, kNone, 1});
    SettingsFile file;
    ASSERT_TRUE(file.parse("[Thermo]\nThermo_type=1\n"));
    read(registry_, store_, file);
    EXPECT_EQ(store_.index("Serial1_mode"), kStation);
    EXPECT_EQ(store_.index("Serial2_mode"), kGps);
    EXPECT_EQ(store_.index("Bluetooth_connected"), 0);
    EXPECT_EQ(store_.index("Thermo_type"), 1);
}

TEST_F(Interlocks, DecodeShowsConflictingPortsUnchanged) {
    set_ports(store_, {kWs2300, kKiss, kKiss, 1});
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(2696, 3), "\x01\x04\x04"s);

    ControlStore shown = test::startup_store(registry_);
    ASSERT_FALSE(decode(registry_, shown, image_));
    EXPECT_EQ(shown.index("Bluetooth_connected"), 1);
    EXPECT_EQ(shown.index("Serial1_mode"), kKiss);
    EXPECT_EQ(shown.index("Serial2_mode"), kKiss);
}

TEST_F(Interlocks, DefaultsFillTheirBytes) {
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(bytes(56, 1), "\x05"s);    // WS-2300
    EXPECT_EQ(bytes(2077, 2), "\0\0"s);  // Ovlantarium and Brisel modules disabled
    EXPECT_EQ(bytes(2608, 1), "\x03"s);  // GPS 9600 baud
    EXPECT_EQ(bytes(2694, 11),
              "\x01\x00"s          // 2694 thermometer enabled, DS18B20
              "\x00\x01\x02"       // 2696 no Bluetooth, port 1 weather station, port 2 GPS
              "\x04\x00\x01"       // 2699 KISS 115200 baud, RF->serial, checked
              "\x02\x01"           // 2702 gamma 9600 baud, 1.000 = 10u
              "\x0A"s);            // 2704 voltage +/- 0%
    EXPECT_EQ(bytes(2705, 3), "END");
}

TEST_F(Interlocks, EveryChoiceAsStoredAndDecoded) {
    struct Case {
        const char* control;
        int index;
        std::size_t offset;
    };
    const std::vector<Case> cases = {
        {"Telemodule_enable", 1, 2077}, {"Bitsmodule_enable", 1, 2078}, {"Thermo_enable", 0, 2694},
        {"Thermo_type", 1, 2695},       {"Bluetooth_connected", 1, 2696}, {"Serial1_mode", 3, 2697},
        {"Serial2_mode", 0, 2698},      {"Kiss_baudrate", 0, 2699},     {"Kiss_direction", 1, 2700},
        {"Kiss_check", 0, 2701},        {"Gamma_baudrate", 3, 2702},    {"Gamma_units", 5, 2703},
        {"Voltage_calibration", 20, 2704}, {"Weather_stationtype", 10, 56}, {"GPS_baudrate", 4, 2608},
    };
    for (const Case& c : cases) store_.set_index(c.control, c.index);
    ASSERT_TRUE(encode_now().empty());
    ControlStore shown = registry_.make_store();
    ASSERT_FALSE(decode(registry_, shown, image_));
    for (const Case& c : cases) {
        EXPECT_EQ(image_[c.offset], c.index) << c.control;
        EXPECT_EQ(shown.index(c.control), c.index) << c.control;
    }
}

TEST_F(Interlocks, ChoicesWithoutSelectionAreRefused) {
    // A settings file may hold an index past the list; such a choice is refused, not stored as 0xFF.
    const std::pair<const char*, const char*> cases[] = {
        {"Bluetooth_connected", "BT/Fenwarde Bluetooth connected - no item selected."},
        {"Serial1_mode", "RS-232 port 1 - no item selected."},
        {"Serial2_mode", "RS-232 port 2 - no item selected."},
        {"Thermo_type", "Thermometer model - no item selected."},
        {"Weather_stationtype", "Weather station model - no item selected."},
        {"GPS_baudrate", "GPS module baudrate - no item selected."},
        {"Kiss_check", "Check for serial->RF packet correctness - no item selected."},
        {"Gamma_units", "Units range - no item selected."},
        {"Voltage_calibration", "Voltage measurement calibration - no item selected."},
    };
    for (const auto& [control, message] : cases) expect_no_selection_refused(control, message);
}

TEST_F(Interlocks, VoltageCalibrationItems) {
    const auto& items = store_.decl(store_.require("Voltage_calibration")).items;
    ASSERT_EQ(items.size(), 21u);
    EXPECT_EQ(items[0], "- 5.0%");
    EXPECT_EQ(items[9], "- 0.5%");
    EXPECT_EQ(items[10], "+/- 0%");
    EXPECT_EQ(items[11], "+ 0.5%");
    EXPECT_EQ(items[20], "+ 5.0%");
}

}  // namespace
}  // namespace zyvora
