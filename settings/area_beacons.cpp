// The "Beacons" tab: eight freely composed beacons of 116 bytes each, then the GPS position
// reports with their SmartBeaconing parameters.
#include "group_names.h"
#include "groups.h"
#include "registry.h"

namespace zyvora {

namespace {

constexpr std::uint16_t kBeaconBase = 656;
constexpr std::uint16_t kBeaconStride = 116;
constexpr const char* kDefaultMessage = "@<date>z<lat>/<long>-ZyvoraPlus2.0 U=<volt>V,T=<temp>C/<tempf>F";

void add_beacon(AreaBuilder& a, int k) {
    const std::string n = std::to_string(k);
    const std::string p = beacon_prefix(k);
    const std::string b = beacon_name(k);
    const auto r = static_cast<std::uint16_t>(kBeaconBase + kBeaconStride * (k - 1));
    a.member(b);

    ReportGroup g;
    g.prefix = p;
    g.callsigns = r;
    g.rates = static_cast<std::uint16_t>(r + 14);
    g.rate_length = 4;
    g.rf_default = g.is_default = k == 1 ? "5" : "0";
    g.name = b;
    g.rate_tail = ", or 0 to disable";
    add_report_group(a, g);
    a.choice(p + "enable", {"Never", "Always", "GPS fixed", "GPS not fixed", "No APRS-IS"}, k == 1 ? 1 : 0)
        .caption("Enable if:").hint("Beacon is enabled if this condition is met.")
        .no_selection(b + " - Enable if: no item selected.")
        .index8(r + 115)
        .key(p + "enable", KeyKind::Index);
    // 95 typed characters; the field has room for 96 and the zero byte.
    a.edit(p + "msg", 95, k == 1 ? kDefaultMessage : "")
        .caption("Message (empty fields are ignored):").hint("Beacon message. Please check \"Special strings\".")
        .text(r + 18, 97)
        .printable(b + " message - forbidden characters.")
        .key(p + "msg", KeyKind::Text);
}

}  // namespace

Area beacons_area() {
    AreaBuilder a("beacons");
    a.section("Beacons");
    for (int k = 1; k <= kBeacons; ++k) {
        a.page(k <= kBeacons / 2 ? "TabSheet_beacons14" : "TabSheet_beacons58");
        add_beacon(a, k);
    }
    a.member("");

    a.page("TabSheet_gps_smartbeaconing");
    a.section("PositionReports");
    a.choice("Position_report_mode", {"Disabled", "Enabled"}, 0)
        .caption("SmartBeaconing:")
        .quiet_hint("Enables or disables position reports from GPS with SmartBeaconing.")
        .index8(2609)
        .key("ReportMode", KeyKind::Index);
    a.choice("Position_report_encoding", {"Mic-E", "Plain text", "Base-91"}, 0)
        .caption("Position encoding protocol:")
        .quiet_hint("Format of the position in position reports.")
        .index8(2610)
        .key("ReportEncoding", KeyKind::Index);

    // No range checks: the device takes these as they come, as their low 16 bits; the settings-file
    // lint warns of a number outside 0 - 65535.
    struct Parameter {
        const char* control;
        const char* caption;
        int max_length;
        const char* value;
        std::uint16_t offset;
        const char* key;
        const char* hint;
    };
    constexpr Parameter kParameters[] = {
        {"Smartbeaconing_min_turn_angle", "Min Turn Angle [deg]:", 3, "27", 2680, "MinTurnAngle",
         "Smallest change of course, in degrees, that counts as a turn and sends a report."},
        {"Smartbeaconing_turn_slope", "Turn Slope:", 4, "410", 2682, "TurnSlope",
         "Makes turns at low speed need a larger change of course: the angle grows by this value divided by the "
         "speed."},
        {"Smartbeaconing_min_turn_time", "Min Turn Time [s]:", 3, "5", 2684, "MinTurnTime",
         "Shortest time, in seconds, between two reports sent for turns."},
        {"Smartbeaconing_slow_speed", "Slow Speed [km/h]:", 3, "8", 2686, "SlowSpeed",
         "Speed, in km/h, below which reports are sent at the slow period."},
        {"Smartbeaconing_slow_period", "Slow Period [s]:", 4, "1800", 2688, "SlowPeriod",
         "Time, in seconds, between reports below the slow speed."},
        {"Smartbeaconing_fast_speed", "Fast Speed [km/h]:", 3, "95", 2690, "FastSpeed",
         "Speed, in km/h, above which reports are sent at the fast period."},
        {"Smartbeaconing_fast_period", "Fast Period [s]:", 3, "90", 2692, "FastPeriod",
         "Time, in seconds, between reports above the fast speed."},
    };
    for (const Parameter& p : kParameters) {
        a.edit(p.control, p.max_length, p.value)
            .caption(p.caption)
            .quiet_hint(p.hint)
            .number(p.offset, 2)
            .key(p.key, KeyKind::Integer);
    }

    a.choice("Mice_message",
             {"Off Duty", "En Route", "In Service", "Returning", "Committed", "Special", "Priority", "Emergency"}, 0)
        .caption("Mic-E message:")
        .quiet_hint("Status message sent in Mic-E position reports.")
        .index8(2676)
        .key("MiceMessage", KeyKind::Index)
        .from_top()
        .saved_after("Position_symbol_table");
    a.edit("Position_symbol_code", 1, ">")
        .caption("Symbol code:")
        .quiet_hint("APRS symbol code of position reports (one character).")
        .character(2633)
        .key("SymbolCode", KeyKind::Text);
    a.edit("Position_symbol_table", 1, "/")
        .caption("Symbol table:")
        .quiet_hint("APRS symbol table of position reports: / for the primary, \\ for the alternate table.")
        .character(2634)
        .key("SymbolTable", KeyKind::Text);
    // The file holds the status and the time after the path.
    a.edit("Position_status_text", 40, "")
        .caption("Status text:")
        .quiet_hint("Text sent with position reports.")
        .text(2635, 41)
        .key("Status", KeyKind::Text)
        .saved_after("Position_ssid3");
    a.choice("Position_time", {"None", "Hour, min, sec", "Day, hour, min"}, 2)
        .caption("Time:")
        .quiet_hint("Time stamp of position reports.")
        .index8(2611)
        .key("PositionTime", KeyKind::Index)
        .saved_after("Position_status_text");
    const char* paths[] = {"WIDE1", "WIDE2", ""};
    const char* ssids[] = {"1", "1", ""};
    for (int k = 1; k <= 3; ++k) {
        const std::string n = std::to_string(k);
        CallsignPair pair;
        pair.call = "Position_path" + n;
        pair.ssid = "Position_ssid" + n;
        pair.call_key = "Path" + n;
        pair.ssid_key = "SSID" + n;
        pair.offset = static_cast<std::uint16_t>(2612 + 7 * (k - 1));
        pair.call_default = paths[k - 1];
        pair.ssid_default = ssids[k - 1];
        pair.caption = k == 1 ? "Path:" : ",";
        pair.name = "Path " + n;
        pair.call_hint = "Position report path element " + n + ".";
        pair.ssid_hint = "Position report path element " + n + " SSID.";
        pair.hints_on_hover = false;
        pair.ssid_message = "GPS SmartBeaconing / Position report path " + n + " - SSID range error (0 - 15).";
        pair.ssid_first = true;
        add_callsign_pair(a, pair);
    }
    a.choice("Position_coursespeed", {"No", "Yes"}, 1)
        .caption("Course/Speed:")
        .quiet_hint("If enabled, position reports carry course and speed.")
        .index8(2677)
        .key("CourseSpeed", KeyKind::Index);
    a.choice("Position_altitude", {"No", "Yes"}, 1)
        .caption("Altitude:")
        .quiet_hint("If enabled, position reports carry altitude.")
        .index8(2678)
        .key("PositionAltitude", KeyKind::Index);

    return a.take();
}

}  // namespace zyvora
