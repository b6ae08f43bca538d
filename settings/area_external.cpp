// The "Ext. interfaces" tab (RS-232 port functions, Bluetooth, thermometer, weather station
// model, GPS, KISS, gamma monitor) and the "Other" tab, with the interlocks that keep the two
// RS-232 ports from being given functions that cannot work together.
#include <cstdlib>

#include "registry.h"

namespace zyvora {

namespace {

// Port functions, the same index in both port lists.
enum Function { kNone = 0, kWeatherStation = 1, kGps = 2, kGamma = 3, kKiss = 4 };

bool transmit_only_model(const ControlStore& store) {
    const int model = store.index("Weather_stationtype");
    return model == 5 || model == 6;  // WS-2300, WS-2350
}

std::string port_name(int port) { return "Serial" + std::to_string(port) + "_mode"; }

// Selects "None" for `port` and gives the message that says why.
std::string reset(ControlStore& store, int port, const std::string& reason) {
    store.set_index(port_name(port), kNone);
    return "RS-232 port " + std::to_string(port) + " changed to None.\rReason:\r" + reason;
}

std::string rx_only_reason(int station_port, int other_port) {
    return "If WS-2300 or WS-2350 station is selected on port " + std::to_string(station_port) + ", then port " +
           std::to_string(other_port) + " can work in RX-only mode (e.g. GPS).";
}

// The change handler of port `self` (1 or 2); `other` is the other port. The port just changed
// keeps its function unless it would transmit beside a WS-2300/2350 station on the other port.
std::vector<std::string> port_changed(ControlStore& store, int self, int other) {
    std::vector<std::string> messages;
    const auto mine = [&] { return store.index(port_name(self)); };
    const auto theirs = [&] { return store.index(port_name(other)); };
    if ((mine() == kGamma || mine() == kKiss) && transmit_only_model(store) && theirs() == kWeatherStation) {
        messages.push_back(reset(store, self, rx_only_reason(other, self)));
    }
    switch (mine()) {
        case kWeatherStation:
            if (theirs() == kWeatherStation) {
                messages.push_back(reset(store, other, "Weather station can be selected on one port only."));
            } else if (transmit_only_model(store) && (theirs() == kGamma || theirs() == kKiss)) {
                messages.push_back(reset(store, other, rx_only_reason(self, other)));
            }
            break;
        case kGps:
            if (theirs() == kGps) messages.push_back(reset(store, other, "GPS can be selected on one port only."));
            break;
        case kGamma:
            if (theirs() == kGamma) {
                messages.push_back(reset(store, other, "RSS-131 gamma monitor can be selected on one port only."));
            }
            break;
        case kKiss:
            if (theirs() == kKiss) messages.push_back(reset(store, other, "KISS output can be selected on one port only."));
            break;
        default: break;
    }
    return messages;
}

std::vector<std::string> bluetooth_changed(ControlStore& store) {
    if (store.index("Bluetooth_connected") == 1 && store.index(port_name(2)) != kNone) {
        return {reset(store, 2, "If Bluetooth interface support is enabled, then port 2 must be disabled.")};
    }
    return {};
}

}  // namespace

// The RS-232 port functions and Bluetooth, which every pass takes before the RS-485 module
// switches of the telemetry area; the rest of the tab follows those.
Area ports_area() {
    AreaBuilder a("ports");
    a.page("TabSheet_rs232_ports");
    a.section("ExternalDevices");
    a.choice("Bluetooth_connected", {"No", "Yes"}, 0)
        .caption("BT/Fenwarde Bluetooth connected:").hint("Enables or disables BT/Fenwarde Bluetooth module support")
        .index8(2696)
        .key("Bluetooth_connected", KeyKind::Index);
    a.choice("Serial1_mode", {"None", "Weather station (default)", "GPS", "RSS-131 gamma monitor", "KISS"}, 1)
        .caption("RS-232 port 1:").hint("Serial port 1 function.")
        .index8(2697)
        .key("Serial1_mode", KeyKind::Index);
    a.choice("Serial2_mode", {"None", "Weather station", "GPS (default)", "RSS-131 gamma monitor", "KISS"}, 2)
        .caption("RS-232 port 2:").hint("Serial port 2 function.")
        .index8(2698)
        .key("Serial2_mode", KeyKind::Index);
    return a.take();
}

Area external_area() {
    AreaBuilder a("external");
    a.page("TabSheet_thermometer_port");
    a.section("Thermo");
    a.choice("Thermo_enable", {"Disabled", "Enabled"}, 1)
        .caption("Thermometer support:").hint("Enables or disables thermometer support.")
        .index8(2694)
        .key("Thermo_enable", KeyKind::Index);
    a.choice("Thermo_type", {"DS18B20", "DS18S20"}, 0)
        .caption("Thermometer model:").hint("Thermometer model selection box.")
        .index8(2695)
        .key("Thermo_type", KeyKind::Index);

    a.page("TabSheet_weather_station");
    a.section("Weather");
    a.choice("Weather_stationtype",
             {"None", "Peet Bros Ultimeter 100", "Peet Bros Ultimeter 800", "Peet Bros Ultimeter 2000",
              "Peet Bros Ultimeter 2100", "WS-2300", "WS-2350", "Davis Vantage Pro", "Davis Vantage Pro2",
              "Davis Vantage Pro Plus", "Davis Vantage Pro2 Plus"},
             5)
        .caption("Weather station model:").hint("Weather station selection box.")
        .index8(56)
        .key("Weather_stationtype", KeyKind::Index);

    a.page("TabSheet_gps_receiver");
    a.section("GPS");
    a.choice("GPS_baudrate", {"1200", "2400", "4800", "9600", "19200"}, 3)
        .caption("GPS module baudrate:").hint("NMEA reports baudrate.")
        .index8(2608)
        .key("GPS_baudrate", KeyKind::Index);

    a.page("TabSheet_kiss");
    a.section("KISS");
    a.choice("Kiss_baudrate", {"9600", "19200", "38400", "57600", "115200"}, 4)
        .caption("KISS baudrate:").hint("KISS serial port baudrate.")
        .index8(2699)
        .key("KISS_baudrate", KeyKind::Index);
    a.choice("Kiss_direction", {"RF->serial", "both"}, 0)
        .caption("KISS direction:").hint("Allows to disable transmission of KISS packets to RF if unnecessary.")
        .index8(2700)
        .key("KISS_direction", KeyKind::Index);
    a.choice("Kiss_check", {"No", "Yes"}, 1)
        .caption("Check for serial->RF packet correctness:")
        .hint("If enabled then checks packet header and drops incorrect packets.")
        .index8(2701)
        .key("KISS_check", KeyKind::Index);

    a.page("TabSheet_rss131_gamma_monitor");
    a.section("Gamma");
    a.choice("Gamma_baudrate", {"2400", "4800", "9600", "19200"}, 2)
        .caption("RSS-131 baudrate:").hint("Gamma monitor baudrate.")
        .index8(2702)
        .key("Gamma_baudrate", KeyKind::Index);
    a.choice("Gamma_units", {"1.000 = 1u", "1.000 = 10u", "1.000 = 100u", "1.000 = 1m", "1.000 = 10m", "1.000 = 100m"}, 1)
        .caption("Units range:").hint("Gamma monitor units range.")
        .index8(2703)
        .key("Gamma_units", KeyKind::Index);

    a.page("TabSheet_voltage_measurement");
    a.section("Other");
    std::vector<std::string> corrections;
    for (int i = 0; i <= 20; ++i) {
        const int tenths = (i - 10) * 5;  // 0.5 % steps
        const std::string amount = std::to_string(std::abs(tenths) / 10) + "." + std::to_string(std::abs(tenths) % 10) + "%";
        corrections.push_back(i == 10 ? "+/- 0%" : (tenths < 0 ? "- " : "+ ") + amount);
    }
    a.choice("Voltage_calibration", corrections, 10)
        .caption("Voltage measurement calibration:").hint("Voltage measurement calibration.")
        .index8(2704)
        .key("Voltage_calibration", KeyKind::Index);
    return a.take();
}

// Bluetooth, port 1 and port 2 settle in that order; a new weather station model re-runs both
// port handlers, port 1 first, so that in a conflict port 1 keeps its function.
std::vector<ChangeHandler> external_handlers() {
    const auto port1 = [](ControlStore& store) { return port_changed(store, 1, 2); };
    const auto port2 = [](ControlStore& store) { return port_changed(store, 2, 1); };
    const auto model = [=](ControlStore& store) {
        auto messages = port1(store);
        for (auto& m : port2(store)) messages.push_back(std::move(m));
        return messages;
    };
    return {{"Bluetooth_connected", bluetooth_changed, true},
            {"Serial1_mode", port1, true},
            {"Serial2_mode", port2, true},
            {"Weather_stationtype", model, false}};
}

}  // namespace zyvora
