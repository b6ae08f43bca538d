// The "Radio" tab and the "Common settings" page of "Digipeater": station identity, position
// and the radio interface, then the digipeater switch and duplicate checking.
#include "registry.h"

namespace zyvora {

Area radio_area() {
    AreaBuilder a("radio");
    a.page("TabSheet_radio");
    a.section("Radio");

    a.edit("Callsign", 6, "NOCALL")
        .caption("Callsign:").hint("Station callsign.")
        .station_call(14, "Callsign - too short (e.g. NOCALL-4).", "Callsign - forbidden characters.")
        .key("Callsign", KeyKind::Text);
    a.edit("Ssid", 2, "0")
        .caption("-").spoken("SSID").hint("Station SSID.")
        .station_ssid(20, "Callsign - SSID range error (0 - 15).")
        .key("SSID", KeyKind::Text);
    a.choice("Baudrate", {"1200 / AFSK", "9600 / GMSK (experimental)"}, 0)
        .caption("Baudrate:")
        .quiet_hint("Packet radio modulation and speed.")
        .index8(22)
        .key("Baudrate", KeyKind::Index)
        .saved_after("Input_amplifier");
    a.edit("Txdelay", 4, "250")
        .caption("TX delay [ms]:").hint("Time between PTT on and packet start (preamble length).")
        .number(24, 2, 200, 1000, "TX delay - range error (200 - 1000).")
        .key("TXdelay", KeyKind::Integer);
    a.edit("Quiettime", 4, "400")
        .caption("Quiet time [ms]:").hint("Delay between last received packet and packet send.")
        .number(26, 2, 200, 3000, "Quiet time - range error (200 - 3000).")
        .key("Quiettime", KeyKind::Integer);
    a.choice("Quiettime_randomize", {"No", "+/- 16 ms", "+/- 32 ms", "+/- 64 ms", "+/- 128 ms"}, 3)
        .caption("Randomize quiet time:").hint("Quiet time random modifier.")
        .index8(28)
        .key("Quiettime_randomize", KeyKind::Index);
    a.choice("Ptt", {"separate output", "2k2 resistor"}, 0)
        .caption("PTT:").hint("PTT output type.")
        .index8(50)
        .key("PTT", KeyKind::Index);
    a.choice("Squelch", {"1 (lowest)", "2", "3", "4", "5", "6", "7", "8", "9", "10 (highest)"}, 0)
        .caption("Squelch level:").hint("Squelch level. 1 - lowest, 10 - highest.")
        .index8(51)
        .key("Squelch", KeyKind::Index);
    a.choice("Busydetect", {"analog signal level", "digital detect"}, 0)
        .caption("Channel busy detect:")
        .hint("Channel busy detection method. For open quelch operation use only digital detect.")
        .index8(52)
        .key("Busydetect", KeyKind::Index);
    a.choice("Consecutive_packets", {"in bursts", "separately"}, 0)
        .caption("Consecutive packets send:")
        .hint("Multiple packets from TX fifo will be sent without gap if \"bursts\" is selected.")
        .index8(53)
        .key("Consecutive_packets", KeyKind::Index);
    a.edit("Latitude", 8, "5223.08N")
        .caption("Latitude:").hint("Station latitude.")
        .fixed_latitude(31, "Our latitude - syntax error (e.g. 5221.60N, format: DDMM.MM).",
                        "Our latitude - syntax error (e.g. 5221.60N, format: DDMM.MM).")
        .key("Latitude", KeyKind::Text)
        .saved_after("Ssid");  // the file keeps the position with the station's call sign
    a.edit("Longitude", 9, "01658.14E")
        .caption("Longitude:").hint("Station longitude.")
        .fixed_longitude(40, "Our longitude - syntax error (e.g. 01653.63E, format DDDMM.MM).",
                         "Our longitude - syntax error (e.g. 01653.63E, format: DDDMM.MM).")
        .key("Longitude", KeyKind::Text)
        .saved_after("Latitude");

    std::vector<std::string> levels;
    for (int mv : {40, 47, 53, 57, 65, 72, 82, 91, 102, 112, 126, 140, 162, 180, 200, 224, 256, 284,
                   320, 360, 400, 452, 504, 568, 632, 712, 800, 900}) {
        levels.push_back(std::to_string(mv) + " mV/500 Ohm");
    }
    a.choice("Output_level", levels, 20)
        .caption("Output level:").hint("Packet audio output level.")
        .index8(54)
        .key("Output_level", KeyKind::Index);
    a.choice("Input_amplifier", {"+0 db", "+1.5 db", "+3 db", "+4.5 db", "+6 db", "+7.5 db", "+9 db", "+10.5 db", "+12 db"}, 0)
        .caption("Input amplifier:").hint("Packet audio input level.")
        .index8(55)
        .key("Input_amplifier", KeyKind::Index);

    a.page("TabSheet_common_settings");
    a.section("Digipeater");
    a.choice("Digion", {"No", "Yes"}, 1)
        .caption("Digipeater on:").hint("Enables or disables function of RF packets digipeating.")
        .index8(29)
        .key("Digion", KeyKind::Index);
    a.edit("Floodtimeout", 3, "60")
        .caption("Duplicate checking [s]:")
        .hint("Time for which a received packet is stored for duplicate checking. Duplicate packets are "
              "discarded and are not digipeated.")
        .number(30, 1, 15, 180, "Duplicate checking - range error (15 - 180).")
        .key("Floodtimeout", KeyKind::Integer);

    return a.take();
}

}  // namespace zyvora
