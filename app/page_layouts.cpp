#include "page_layouts.h"

namespace zyvora_app {

LayoutRow layout_note(std::string text, int wrap_chars) {
    LayoutRow row({});
    row.note = std::move(text);
    row.note_chars = wrap_chars;
    return row;
}

LayoutRow layout_sentence(std::vector<std::string> controls, std::vector<std::string> after) {
    LayoutRow row({});
    row.controls = std::move(controls);
    row.after = std::move(after);
    row.sentence = true;
    return row;
}

const std::vector<PageLayout>& page_layouts() {
    static const std::vector<PageLayout> layouts = {
        {"TabSheet_radio",
         {{"",
           {{"Callsign", "Ssid"},
            {"Latitude"},
            {"Longitude"},
            {"Baudrate"},
            {"Txdelay"},
            {"Quiettime"},
            {"Quiettime_randomize"}}},
          {"",
           {{"Ptt"},
            {"Squelch"},
            {"Busydetect"},
            {"Consecutive_packets"},
            {"Output_level"},
            {"Input_amplifier"}}}}},
        {"TabSheet_rtcntp_time",
         {{"",
           {{"Rtcyear"},
            {"Rtcmonth"},
            {"Rtcday"},
            {"Rtchour"},
            {"Rtcmin"},
            {"Uploadpctime"},
            layout_note("Internal Real Time Clock is updated when the device exits config mode and enters normal "
                        "mode. To get exact time please change to normal mode quickly after config write.")}},
          {"", {{"Ntp_enable"}, {"Ntp_servername"}}}}},
        {"TabSheet_common_settings", {{"", {{"Digion"}, {"Floodtimeout"}}}}},
    };
    return layouts;
}

}  // namespace zyvora_app
