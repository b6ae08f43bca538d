#pragma once
// The settings image that the start-up defaults encode to, written out region by region from
// the settings tables (at test::kNow, with write nonce 0). Each area's tests hold their region
// against it, and one test holds the whole used region.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <string>

#include "expected_defaults.h"

namespace zyvora::test {

using namespace std::string_literals;

// A text field as the image holds it: the text, then zero bytes up to `size`.
inline std::string text_field(const std::string& text, std::size_t size) {
    std::string field = text;
    field.resize(size, '\0');
    return field;
}

inline std::string u16(std::uint16_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

// One beacon record of 116 bytes.
inline std::string beacon_record(const std::string& dest, const std::string& path, std::uint16_t rf,
                                 std::uint16_t is, const std::string& message, std::uint8_t enable) {
    std::string r = dest + path + u16(rf) + u16(is) + message;
    r.resize(115, '\0');
    return r + static_cast<char>(enable);
}

// One analog telemetry channel's 45 bytes.
inline std::string analog_channel(char source, const std::string& name, const std::string& unit, const std::string& a,
                                  const std::string& b, const std::string& c, char average) {
    return std::string(1, source) + text_field(name, 8) + text_field(unit, 8) + text_field(a, 9) + text_field(b, 9) +
           text_field(c, 9) + std::string(1, average);
}

// One digital telemetry channel's 16 bytes.
inline std::string digital_channel(char source, const std::string& name, const std::string& label, char inverted) {
    return std::string(1, source) + text_field(name, 7) + text_field(label, 7) + std::string(1, inverted);
}

inline constexpr const char* kBeacon1Message = "@<date>z<lat>/<long>-ZyvoraPlus2.0 U=<volt>V,T=<temp>C/<tempf>F";

// 56..109: weather station model, weather beacon.
inline std::string default_weather_bytes() {
    return "\x05"s + "APQK060" + "WIDE2 2" + "\0"s + u16(5) + u16(5) + text_field("Zyvora weather", 33) + "\0"s;
}

// 110..599: APRS-IS gateway and the 24 filter rows.
inline std::string default_aprsis_bytes() {
    std::string b = text_field("NOCALL", 17) + text_field("40713", 17);   // 110 user, 127 password
    b += text_field("rotate.aprs2.net", 32) + u16(14580);                 // 144 server 1
    b += text_field("", 32) + u16(14580) + text_field("", 32) + u16(14580);
    b += "\x03"s + text_field("m/40", 129);                              // 246 timeout, 247 filter
    b += "\x1E"s + "APQK060" + "\x01\x01" + "WIDE2 1";                    // 376 heard, 377 dest, 384, 385, 386 path
    b += "\x02\x1E\x01\x00\x3C\x06\x09\x0C"s + "WIDE2 1";                 // 393..400, 401 path
    for (int row = 1; row <= 24; ++row) b += "      *\0"s;               // 408 filter rows
    return b;
}

// 600..655: NTP, network, and the clock at kNow.
inline std::string default_time_network_bytes() {
    return "\x01"s + text_field("pool.ntp.org", 32) +
           "\x01\xC0\xA8\x02\x02\xC0\xA8\x02\x01\xFF\xFF\xFF\x00\xC0\xA8\x02\x01"s +  // 633 method, address, gateway, mask, DNS
           "\xEA\x07\x04\x03\x09\x05"s;                                             // 650 2026-04-03 09:05
}

// 656..1583: the eight beacons.
inline std::string default_beacon_bytes() {
    std::string b = beacon_record("APQK060", "WIDE2 2", 5, 5, kBeacon1Message, 1);
    for (int k = 2; k <= 8; ++k) b += beacon_record("APQK060", "WIDE2 2", 0, 0, "", 0);
    return b;
}

// 1584..1824: path rules, path filter areas, callsign filter.
inline std::string default_filter_bytes() {
    std::string b = "WIDE\0\0"s + "\x01\x07\x15"s + "SP\0\0\0\0"s + "\x01\x07\x11"s;
    for (int k = 3; k <= 8; ++k) b += "\0\0\0\0\0\0"s + "\x01\x07\x10"s;
    b += u16(50) + u16(20);             // radii
    b += "\x79\xF7\x07\x00"s;           // 5221.05N = 522105
    b += "\xDB\x7D\xFD\xFF"s;           // 01643.89E = -164389
    b += "\xC5\xFB\x07\x00"s;           // 5232.05N = 523205
    b += "\xC8\x81\xFD\xFF"s;           // 01633.84E = -163384
    b += "\x1E\xF6\x07\x00"s;           // 5217.58N = 521758
    b += "\x7D\x62\xFD\xFF"s;           // 01713.95E = -171395
    b += "\x00"s;                       // general rule: allow all
    for (int k = 1; k <= 20; ++k) b += "      *";
    return b;
}

// 1825..2051: remote access, then one unused byte.
inline std::string default_remote_bytes() {
    std::string b = text_field("admin", 13) + text_field("tevan", 13) + "\0"s + u16(80);  // 1825 WWW
    b += std::string(1871 - 1854, '\0');
    b += text_field("admin", 13) + text_field("tevan", 13) + "\0"s + u16(23);             // 1871 telnet
    b += "\x00\x00"s + u16(12345) + "\x00\x00"s + u16(14580);                             // 1900 KISS, server
    b += text_field("admin", 17) + text_field("tevan", 17) + "\x00\x00\x00"s;             // 1908 server login, forwarding, stats
    b += text_field("123", 6) + text_field("192.168.2.1", 49) + u16(80);                  // 1945 device ID, host, port
    b += text_field("APRS/aprs_stat.php", 33) + "\x05"s;                                  // 2002 path, 2035 interval
    b += "\x00\x00\x00\x01\x01\x01\x01\x00\x01\x01\x00\x01\x01\x01\x01"s;                  // 2036 debug
    return b + "\0"s;
}

// 2052..2473: telemetry.
inline std::string default_telemetry_bytes() {
    std::string b = text_field("ZyvoraPlus20 Telemetry", 24)  // 2052 title
                    + "\x00\x00\x00"s                          // 2076 switch, 2077 and 2078 modules
                    + "APQK060WIDE2 2"                         // 2079 data destination and path
                    + "\x00"s                                  // 2093 spare
                    + u16(10) + u16(5)                         // 2094 data rates
                    + "APQK060WIDE2 2"                         // 2098 parameter destination and path
                    + u16(60) + u16(10);                       // 2112 parameter rates
    b += analog_channel(13, "Vin", "Volt", "0", "0.075", "0", 0);  // 2116
    b += analog_channel(14, "Rx1h", "Pkt", "0", "10", "0", 0);
    b += analog_channel(16, "Dg1h", "Pkt", "0", "10", "0", 0);
    b += analog_channel(19, "Eff1h", "Pcnt", "0", "1", "0", 0);
    b += analog_channel(0, "A5", "None", "0", "0", "0", 0);
    for (char k = 1; k <= 4; ++k) b += digital_channel(k, "O"s + char('0' + k), "On", 0);  // 2341
    for (char k = 1; k <= 4; ++k) b += digital_channel(char(4 + k), "I"s + char('0' + k), "Hi", 0);
    b += "\x00\x00\x00\x00"s;  // 2469 Brisel outputs
    return b + "\x3C"s;        // 2473 first packet delay 60
}

// 2474..2608: Weather Underground and the GPS baud rate.
inline std::string default_weather_underground_bytes() {
    return "\x00"s + text_field("", 25) + text_field("", 25) + text_field("weatherstation.wunderground.com", 40) +
           text_field("rtupdate.wunderground.com", 40) + "\x00\x01\x05"s + "\x03"s;
}

// 2609..2693: position reports.
inline std::string default_position_bytes() {
    return "\x00\x00\x02"s               // 2609 mode, 2610 encoding, 2611 time
           + "WIDE1 1WIDE2 1      0"s     // 2612 path elements
           + ">/"s                       // 2633 symbol code and table
           + text_field("", 41)          // 2635 status text
           + "\x07\x01\x01\x00"s         // 2676 Mic-E "Off Duty", course/speed, altitude, spare
           + u16(27) + u16(410) + u16(5) + u16(8) + u16(1800) + u16(95) + u16(90);
}

// 2694..2707: thermometer, ports, KISS, gamma monitor, voltage calibration, end marker.
inline std::string default_external_bytes() {
    return "\x01\x00"s        // 2694 thermometer on, DS18B20
           + "\x00\x01\x02"s  // 2696 no Bluetooth, port 1 weather station, port 2 GPS
           + "\x04\x00\x01"s  // 2699 KISS 115200, RF->serial, check
           + "\x02\x01"s      // 2702 gamma 9600, 1.000 = 10u
           + "\x0A"s          // 2704 +/- 0%
           + "END";
}

// Bytes 4..2707 of the start-up image: the write nonce (0 here), the version tag and every field.
// An image with what differs from one encode of the same settings to the next blanked: the
// checksum and write nonce (bytes 0..5) and the clock (650..655), which every program start
// fills from the PC's time whether or not the settings ask to upload it.
inline std::string without_salt(std::string image) {
    for (const auto& [at, size] : {std::pair<std::size_t, std::size_t>{0, 6}, {650, 6}}) {
        if (image.size() >= at + size) std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(at), size, '\0');
    }
    return image;
}

inline std::string default_image_from_nonce() {
    std::string b = "\x00\x00"s + text_field("v1.13", 8);
    b += std::string(kDefaultRadioBytes.begin(), kDefaultRadioBytes.end());
    b += default_weather_bytes() + default_aprsis_bytes() + default_time_network_bytes() + default_beacon_bytes() +
         default_filter_bytes() + default_remote_bytes() + default_telemetry_bytes() +
         default_weather_underground_bytes() + default_position_bytes() + default_external_bytes();
    return b;
}

}  // namespace zyvora::test
