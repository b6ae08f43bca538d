#include "page_layouts.h"

#include <utility>

#include "group_names.h"
#include "telemetry.h"

namespace zyvora_app {

LayoutRow layout_note(std::string text, int wrap_chars) {
    LayoutRow row({});
    row.note = std::move(text);
    row.note_chars = wrap_chars;
    return row;
}

LayoutRow layout_warning(std::string text, int wrap_chars) {
    LayoutRow row = layout_note(std::move(text), wrap_chars);
    row.warning = true;
    return row;
}

LayoutRow layout_caption_note(std::string control, int wrap_chars) {
    LayoutRow row = layout_note("", wrap_chars);
    row.note_of = std::move(control);
    return row;
}

LayoutRow layout_button(std::string name, std::string caption) {
    LayoutRow row({});
    row.button = std::move(name);
    row.note = std::move(caption);
    return row;
}

LayoutCell cell_text(std::string text) {
    LayoutCell cell("");
    cell.text = std::move(text);
    return cell;
}

LayoutCell cell_caption(std::string control) {
    LayoutCell cell("");
    cell.caption_of = std::move(control);
    return cell;
}

LayoutRow layout_row_with_button(std::vector<LayoutCell> controls, std::string name, std::string caption) {
    LayoutRow row({});
    row.controls = std::move(controls);
    row.button = std::move(name);
    row.note = std::move(caption);
    return row;
}

LayoutRow layout_sentence(std::vector<LayoutCell> controls, std::vector<std::string> after) {
    LayoutRow row({});
    row.controls = std::move(controls);
    row.after = std::move(after);
    row.sentence = true;
    return row;
}

std::string analog_preset_button(int channel) { return "Button_teleanalog" + std::to_string(channel) + "_default"; }

std::string digital_preset_button(int channel) { return "Button_teledigital" + std::to_string(channel) + "_default"; }

namespace {

constexpr const char* kRxOnlyNote =
    "If WS-2300 or WS-2350 station is selected on one port, then the other port can work in RX-only mode (e.g. GPS).";

// A table row's label: the number its messages give the row ("Path(n-N) 3", "Callsign filter 17").
LayoutCell row_number(int k) { return cell_text(std::to_string(k) + "."); }

LayoutRow named(LayoutRow row, std::string name) {
    row.name = std::move(name);
    return row;
}

// The path rules as a table, one numbered row per rule, each column under its controls' caption.
LayoutColumn path_rule_table() {
    LayoutColumn column;
    for (int k = 1; k <= zyvora::kPathRules; ++k) {
        const std::string p = zyvora::path_rule_prefix(k);
        column.rows.push_back(named({row_number(k), p + "name", p + "lower", p + "higher", p + "traceable",
                                     p + "directonly", p + "areaall", p + "arearad0", p + "arearad1",
                                     p + "arearect0", p + "active"},
                                    zyvora::path_rule_name(k)));
    }
    column.headers.assign(column.rows.front().controls.size(), kControlCaption);
    column.headers.front() = "";
    return column;
}

// The callsign filter entries take three columns, the last one short when they do not divide.
constexpr int kCallEntriesPerColumn = (zyvora::kCallEntries + 2) / 3;

// Callsign filter entries first..last as a table, each row numbered.
LayoutColumn callsign_table(int first, int last) {
    LayoutColumn column;
    column.headers = {"", kControlCaption, "-", kControlCaption};
    for (int k = first; k <= last; ++k) {
        column.rows.push_back(named(
            {row_number(k), zyvora::call_entry_control("callsign", k), "", zyvora::call_entry_control("ssid", k)},
            zyvora::call_entry_name(k)));
    }
    column.aligned = "callsign entries";
    return column;
}

// The headers of a destination, path and rates row: the caption of each call sign and rate, no
// header over the "-" and the SSIDs.
std::vector<LayoutHeader> report_headers() {
    return {"", kControlCaption, "", "", kControlCaption, "", "", kControlCaption, kControlCaption};
}

// A destination, path and rates row of the report group `p` ("Beacon3_"), after the row's `name`.
LayoutRow report_row(LayoutCell name, const std::string& p) {
    LayoutRow row({});
    row.controls = {std::move(name), p + "dest_string", cell_caption(p + "dest_ssid"), p + "dest_ssid",
                    p + "path_string", cell_caption(p + "path_ssid"), p + "path_ssid", p + "txrate_rf",
                    p + "txrate_aprsis"};
    return row;
}

// The beacons share two pages, half on each.
static_assert(zyvora::kBeacons % 2 == 0, "the beacon pages hold half the beacons each");
constexpr int kBeaconsPerPage = zyvora::kBeacons / 2;

// Beacons first..last: the short fields in one row, the message under them across the table.
LayoutColumn beacon_table(int first, int last) {
    LayoutColumn column;
    column.headers = report_headers();
    column.headers.push_back(kControlCaption);
    for (int k = first; k <= last; ++k) {
        const std::string p = zyvora::beacon_prefix(k);
        LayoutRow beacon = report_row(row_number(k), p);
        beacon.controls.push_back(p + "enable");
        beacon.name = zyvora::beacon_name(k);
        column.rows.push_back(beacon);
        LayoutRow message({"", p + "msg"});
        message.span = true;
        message.name = beacon.name;
        column.rows.push_back(message);
    }
    column.aligned = "beacons";
    return column;
}

// The messages' caption, which their rows leave out, and the button of the special strings.
LayoutColumn beacon_side(int first, const std::string& button) {
    return {"",
            {layout_caption_note(zyvora::beacon_prefix(first) + "msg", 18), layout_button(button, "Special strings")}};
}

LayoutRow joined(std::initializer_list<LayoutCell> controls) {
    LayoutRow row(controls);
    row.span = true;
    return row;
}

LayoutColumn smartbeaconing_column() {
    LayoutColumn modes{"", {{"Position_report_mode"}, {"Position_report_encoding"}}};
    LayoutColumn settings{"SmartBeaconing settings:",
                          {{"Smartbeaconing_min_turn_angle", "Smartbeaconing_slow_speed"},
                           {"Smartbeaconing_turn_slope", "Smartbeaconing_slow_period"},
                           {"Smartbeaconing_min_turn_time", "Smartbeaconing_fast_speed"},
                           {"", "Smartbeaconing_fast_period"}}};
    // Turning on the left, speeds and periods on the right.
    settings.pairs = true;
    LayoutColumn column;
    column.stack = {modes, settings};
    return column;
}

// One row of four octet edits.
LayoutRow octets(const std::string& prefix) {
    return {prefix + "0", prefix + "1", prefix + "2", prefix + "3"};
}

LayoutColumn telnet_debug_group() {
    LayoutColumn group{"Telnet debug messages (default state after connect):",
                       {{"Debug_aprsis", "Debug_aprsismsgs", "Debug_telemetry"},
                        {"Debug_ntp", "Debug_dns", "Debug_rf"},
                        {"Debug_ax25", "Debug_weather", "Debug_wunderground"},
                        {"Debug_digi", "Debug_gps", "Debug_thermo"},
                        {"Debug_dhcp", "Debug_kiss", "Debug_aprsisserver"}}};
    group.pairs = true;
    return group;
}

// The filter window's rows take three columns of equal length.
static_assert(zyvora::kFilterRows % 3 == 0, "the filter window's three columns hold a third of the rows each");
constexpr int kFilterRowsPerColumn = zyvora::kFilterRows / 3;

// Filter window rows first..last, each numbered, with the column captions over the first two
// columns only.
LayoutColumn filter_rows(int first, int last, bool captioned) {
    LayoutColumn column;
    column.headers = captioned ? std::vector<LayoutHeader>{"", kControlCaption, "", kControlCaption, kControlCaption}
                               : std::vector<LayoutHeader>{"", "", "", "", ""};
    column.cell_spacing = 4;  // three columns side by side in a small window
    for (int r = first; r <= last; ++r) {
        column.rows.push_back(named({cell_text(std::to_string(r) + ":"), zyvora::filter_row_control("callsign", r),
                                     cell_text("-"), zyvora::filter_row_control("ssid", r),
                                     zyvora::filter_row_control("type", r)},
                                    zyvora::filter_row_name(r)));
    }
    column.aligned = "filter rows";
    return column;
}

// The destination, path and rates of telemetry data and of telemetry parameters, a row each.
LayoutColumn telemetry_report_table() {
    LayoutColumn column;
    column.headers = report_headers();
    for (const auto& [caption, prefix] : {std::pair{"Telemetry data:", "Teledata_"},
                                          std::pair{"Telemetry parameters:", "Teleparams_"}}) {
        column.rows.push_back(report_row(cell_text(caption), prefix));
    }
    return column;
}

LayoutRow bare(const std::string& control) {
    LayoutRow row({control});
    row.bare = true;
    return row;
}

LayoutRow telemetry_sources_note(int wrap_chars) {
    return layout_note("Note: types of telemetry sources are: (M) - from Ovlantarium, (E) - from external devices, "
                       "(I) - device internal sources.",
                       wrap_chars);
}

// Analog channels, one row each with its preset button.
LayoutColumn analog_channel_table() {
    LayoutColumn column;
    column.headers = {"", kControlCaption, kControlCaption, kControlCaption,
                      kControlCaption, kControlCaption, kControlCaption, kControlCaption};
    // Coefficients are short numbers as a rule: narrower edits leave room for the source names.
    column.cell_chars = {0, 0, 5, 5, 5, 5, 5};
    column.cell_spacing = 6;  // room for "1 min average:" on one line
    for (int k = 1; k <= zyvora::kAnalogChannels; ++k) {
        const std::string n = std::to_string(k);
        const std::string p = zyvora::analog_prefix(k);
        column.rows.push_back(layout_row_with_button({cell_text("Analog " + n + ":"), p + "source", p + "name",
                                                      p + "units", p + "coefa", p + "coefb", p + "coefc",
                                                      p + "average"},
                                                     analog_preset_button(k), "Default parameters"));
    }
    return column;
}

// The digital channels share two pages, half on each.
static_assert(zyvora::kDigitalChannels % 2 == 0, "the digital channel pages hold half the channels each");
constexpr int kDigitalPerPage = zyvora::kDigitalChannels / 2;

// Digital channels first..last, one row each with its preset button.
LayoutColumn digital_channel_table(int first, int last) {
    LayoutColumn table;
    table.headers = {"", kControlCaption, kControlCaption, kControlCaption, kControlCaption};
    for (int k = first; k <= last; ++k) {
        const std::string n = std::to_string(k);
        const std::string p = zyvora::digital_prefix(k);
        table.rows.push_back(layout_row_with_button(
            {cell_text("Digital " + n + ":"), p + "source", p + "name", p + "units", p + "inverted"},
            digital_preset_button(k), "Default parameters"));
    }
    table.aligned = "digital channels";
    return table;
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
          callsign_table(1, kCallEntriesPerColumn),
          callsign_table(kCallEntriesPerColumn + 1, 2 * kCallEntriesPerColumn),
          callsign_table(2 * kCallEntriesPerColumn + 1, zyvora::kCallEntries)}},
        {"TabSheet_network",
         {{"",
           {{"Netconfig"}}},
          {"Static IP settings:", {octets("Ipaddr"), octets("Ipmask"), octets("Ipgate"), octets("Ipdns")}}}},
        {"TabSheet_telnet", {{"", {{"telnet_user"}, {"telnet_password"}, {"telnet_port"}}}, telnet_debug_group()}, 16},
        {"TabSheet_kissviatcpip",
         {{"",
           {{"kisstcpip_enable"},
            {"kisstcpip_port"},
            layout_note("Currently KISS via TCP/IP works only in packet output mode (RF->TCP/IP).", 60)}}}},
        {"TabSheet_aprsis_server",
         {[] {
              LayoutColumn c;
              c.stack = {{"APRS-IS servers:",
                          {{"Aprsis1_servername", "Aprsis1_port"},
                           {"Aprsis2_servername", "Aprsis2_port"},
                           {"Aprsis3_servername", "Aprsis3_port"}}},
                         {"APRS-IS login:", {{"Aprsis_user", "Aprsis_pass"}}}};
              return c;
          }(),
          [] {
              LayoutColumn c;
              LayoutColumn filter{"",
                                  {bare("Aprsis_filter"),
                                   layout_note("Filter syntax: http://www.aprs-is.net/javAPRSFilter.aspx", 40),
                                   layout_warning("Note that filter settings affect the amount and type of packets "
                                                  "gated from APRS-IS to RF. Use with caution.",
                                                  40)}};
              filter.title_of = "Aprsis_filter";
              c.stack = {filter, {"", {{"Aprsis_timeout"}}}};
              return c;
          }()},
         12},
        {"TabSheet_aprsis_common", {{"", {{"Aprsis_heard_timeout"}, {"Aprsis_2rf_dest", "Aprsis_2rf_dest_ssid"}}}}},
        {"TabSheet_aprsis_rf_messages",
         {{"",
           {{"Aprsis_msg2rf"},
            {"Aprsis_msg2rf_path", "Aprsis_msg2rf_ssid"},
            {"Rfheard_local_maxhops"},
            {"Rfheard_local_timeout"}}}}},
        {"TabSheet_aprsis_rf_nonmessages",
         {{"",
           {{"Aprsis_packet2rf"},
            {"Aprsis_packet2rf_ifheard"},
            {"Aprsis_packet2rf_path", "Aprsis_packet2rf_ssid"},
            {"Rfheard_timeout"},
            {"Aprsis_packet2rf_1min", "Aprsis_packet2rf_2min", "Aprsis_packet2rf_3min"},
            layout_button("Button_filter_setup", "Filter setup")}}}},
        {"TForm4_rows",
         {filter_rows(1, kFilterRowsPerColumn, true),
          filter_rows(kFilterRowsPerColumn + 1, 2 * kFilterRowsPerColumn, true),
          filter_rows(2 * kFilterRowsPerColumn + 1, zyvora::kFilterRows, false)},
         12},
        {"TabSheet_weather_beacon",
         {[] {
              LayoutColumn c;
              c.headers = report_headers();
              c.headers.push_back(kControlCaption);
              LayoutRow weather = report_row(cell_text("Weather report:"), "Weather_");
              weather.controls.push_back("Weather_comment");
              c.rows = {weather};
              return c;
          }()}},
        {"TabSheet_weather_underground",
         {[] {
              LayoutColumn c{"",
                             {{"WU_enable"},
                              {"WU_stationid"},
                              {"WU_password"},
                              {"WU_normalserver"},
                              {"WU_rapidfireserver"},
                              {"WU_sendmethod"},
                              {"WU_normalrate"}}};
              c.even_texts = true;
              return c;
          }(),
          {"", {{"WU_rapidfirerate"}}}}},
        {"TabSheet_rs232_ports",
         {{"",
           {{"Serial1_mode"},
            {"Serial2_mode"},
            {"Bluetooth_connected"},
            layout_note(kRxOnlyNote, 90),
            layout_note("Not all RS-232 port 1, port 2 setting combinations are possible.", 90),
            layout_note("If you want use Bluetooth module connected to serial port, then only port 1 is operational "
                        "(in Bluetooth mode) and port 2 is disabled.",
                        90)}}}},
        {"TabSheet_weather_station",
         {{"",
           {{"Weather_stationtype"},
            layout_note(kRxOnlyNote, 90),
            layout_note("Not all RS-232 port 1, port 2 setting combinations are possible.", 90)}}}},
        {"TabSheet_beacons14", {beacon_table(1, kBeaconsPerPage), beacon_side(1, "Button_special_strings")}},
        {"TabSheet_beacons58", {beacon_table(kBeaconsPerPage + 1, zyvora::kBeacons), beacon_side(kBeaconsPerPage + 1, "Button22")}},
        {"TabSheet_gps_smartbeaconing",
         {smartbeaconing_column(),
          [] {
              LayoutColumn c{"Report encoding settings:",
                             {{"Position_symbol_code", "Position_symbol_table"},
                              {"Position_coursespeed", "Position_altitude"},
                              joined({"Mice_message"}),
                              joined({"Position_time"}),
                              joined({"Position_status_text"}),
                              [] {
                                  // The widest row: its caption goes into the line.
                                  LayoutRow path = joined({"Position_path1", "Position_ssid1", "Position_path2",
                                                           "Position_ssid2", "Position_path3", "Position_ssid3"});
                                  path.whole_line = true;
                                  return path;
                              }()}};
              c.pairs = true;
              return c;
          }()},
         10},
        {"TabSheet_report_settings",
         {[] {
              LayoutColumn column;
              column.stack = {{"", {{"Tele_enable"}, {"Teletitle"}}},
                              telemetry_report_table(),
                              {"", {{"Tele_holdoff"}}}};
              return column;
          }(),
          {"",
           {layout_note("Please refer to APRS protocol reference v1.0.1, chapter 13, for more info about telemetry "
                        "reports, messages, and protocol limitations (\"aprs protocol reference\" in google).",
                        30)}}}},
        {"TabSheet_analog_channels",
         {[] {
              LayoutColumn column;
              column.stack = {analog_channel_table(), {"", {telemetry_sources_note(92)}}};
              return column;
          }()}},
        {"TabSheet_digital_channels14",
         {digital_channel_table(1, kDigitalPerPage), {"", {telemetry_sources_note(28)}}}},
        {"TabSheet_digital_channels58",
         {digital_channel_table(kDigitalPerPage + 1, zyvora::kDigitalChannels), {"", {telemetry_sources_note(28)}}}},
        {"TabSheet_brisel_outputs",
         {{"", {{"Brisel_output1"}, {"Brisel_output2"}, {"Brisel_output3"}, {"Brisel_output4"}}}}},
        {"TabSheet_rs485_ports", {{"", {{"Telemodule_enable"}, {"Bitsmodule_enable"}}}}},
    };
    return layouts;
}

namespace {

bool places_button(const LayoutColumn& column, const std::string& name) {
    for (const auto& sub : column.stack) {
        if (places_button(sub, name)) return true;
    }
    for (const auto& row : column.rows) {
        if (row.button == name) return true;
    }
    return false;
}

}  // namespace

const PageLayout* layout_placing_button(const std::vector<PageLayout>& layouts, const std::string& name) {
    for (const PageLayout& layout : layouts) {
        for (const LayoutColumn& column : layout.columns) {
            if (places_button(column, name)) return &layout;
        }
    }
    return nullptr;
}

}  // namespace zyvora_app
