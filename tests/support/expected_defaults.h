#pragma once
// What the start-up settings look like on the way out: the settings file that "Save to file"
// writes and the radio bytes 14..55 of the image that "Write config" builds.
#include <array>
#include <cstdint>
#include <string_view>

#include "clock.h"
#include "registry.h"

namespace zyvora::test {

// A fixed "now" for the PC time fill: 09:05 on 3 April 2026.
inline constexpr LocalTime kNow{2026, 4, 3, 9, 5};

// The controls as start-up leaves them, at kNow.
inline ControlStore startup_store(const Registry& registry) {
    ControlStore store = registry.make_store();
    registry.settle(store);
    if (store.id("Rtcyear") >= 0) pc_time_fill(store, kNow);  // test registries may have no clock page
    return store;
}

inline constexpr std::string_view kDefaultsFile =
    "[!WARNING]\n"
    "WARNING=Please do not try to modify this file. It should be managed with Zyvora Plus 2.0 configurator program.\n"
    "Application=Zyvora Plus 2.0 Configurator\n"
    "Version=v1.13\n"
    "\n\n"
    "[Radio]\n"
    "Callsign=NOCALL\n"
    "SSID=0\n"
    "Latitude=5223.08N\n"
    "Longitude=01658.14E\n"
    "TXdelay=250\n"
    "Quiettime=400\n"
    "Quiettime_randomize=3\n"
    "PTT=0\n"
    "Squelch=0\n"
    "Busydetect=0\n"
    "Consecutive_packets=0\n"
    "Output_level=20\n"
    "Input_amplifier=0\n"
    "Baudrate=0\n"
    "\n\n"
    "[Digipeater]\n"
    "Digion=1\n"
    "Floodtimeout=60\n"
    "\n\n"
    "[RTC]\n"
    "Uploadpctime=1\n"
    "Ntp_enable=1\n"
    "Ntp_servername=pool.ntp.org\n";

// Offsets 14..55.
inline constexpr std::array<std::uint8_t, 42> kDefaultRadioBytes = {
    'N', 'O', 'C', 'A', 'L', 'L',                 // 14..19 station callsign
    '0', 0x00,                                    // 20 SSID 0, 21 terminator
    0x00, 0x00,                                   // 22 Baudrate, 23 never written
    0xFA, 0x00,                                   // 24 Txdelay 250
    0x90, 0x01,                                   // 26 Quiettime 400
    0x03, 0x01, 0x3C,                             // 28 randomize, 29 Digion, 30 Floodtimeout 60
    '5', '2', '2', '3', '.', '0', '8', 'N', 0x00,  // 31 latitude
    '0', '1', '6', '5', '8', '.', '1', '4', 'E', 0x00,  // 40 longitude
    0x00, 0x00, 0x00, 0x00,                       // 50 Ptt, Squelch, Busydetect, Consecutive_packets
    0x14, 0x00,                                   // 54 Output_level 20, 55 Input_amplifier
};

}  // namespace zyvora::test
