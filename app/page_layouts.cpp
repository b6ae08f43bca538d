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

namespace {

// The eight path rules as a table, one row per rule.
LayoutColumn path_rule_table() {
    LayoutColumn column;
    column.headers = {"Path (n-N):", "n >=", "n <=", "Traceable:", "Direct only:", "Area ALL:",
                      "Area RAD0:", "Area RAD1:", "Area RECT0:", "Enable if:"};
    for (int k = 1; k <= 8; ++k) {
        const std::string p = "Pathn" + std::to_string(k) + "_";
        column.rows.push_back({p + "name", p + "lower", p + "higher", p + "traceable", p + "directonly",
                               p + "areaall", p + "arearad0", p + "arearad1", p + "arearect0", p + "active"});
    }
    return column;
}

// Callsign filter entries first..last as a table.
LayoutColumn callsign_table(int first, int last) {
    LayoutColumn column;
    column.headers = {"Callsign:", "-", "SSID:"};
    for (int k = first; k <= last; ++k) {
        const std::string n = std::to_string(k);
        column.rows.push_back({"Callfilter_callsign" + n, "", "Callfilter_ssid" + n});
    }
    return column;
}

}  // namespace

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
        {"TabSheet_path_filter_rules", {path_rule_table()}},
        {"TabSheet_path_filter_areas",
         {{"",
           {layout_note("area ALL - all stations within unlimited range."),
            layout_sentence({"Area_rad0_radius"},
                            {"kilometers from our station."}),
            layout_sentence({"Area_rad1_radius", "Area_rad1_latitude", "Area_rad1_longitude"},
                            {"kilometers from point", "latitude, ", "longitude."}),
            layout_note("area RECT0 - stations in a rectangle defined by points:"),
            layout_sentence({"Area_rect0_nwlatitude", "Area_rect0_nwlongitude"},
                            {"latitude, ", "longitude (north-western point)."}),
            layout_sentence({"Area_rect0_selatitude", "Area_rect0_selongitude"},
                            {"latitude, ", "longitude (south-eastern point)."}),
            layout_note("Currently area filters only support static latitude/longitude defined in Radio Tab "
                        "(not GPS-based position).",
                        92)}}}},
        {"TabSheet_callsign_filter_rules",
         {{"",
           {{"Callfilter_rule"},
            layout_note("* wildcard is supported to mask all characters to the end of the pattern string.", 30),
            layout_note("? wildcards are supported to mask single characters (except space character).", 30)}},
          callsign_table(1, 7),
          callsign_table(8, 14),
          callsign_table(15, 20)}},
    };
    return layouts;
}

}  // namespace zyvora_app
