#pragma once
// The groups that repeat in the settings tables: how many members each has and the control
// names of a member, shared by the tables that declare them and the window that lays them out.
#include <string>

namespace zyvora {

constexpr int kPathRules = 8;     // the digipeater's path filter rules
constexpr int kCallEntries = 20;  // the exceptions of the digipeater's callsign filter
constexpr int kBeacons = 8;
constexpr int kFilterRows = 24;  // the rows of the APRS-IS to RF filter window

// The start of path rule `rule`'s control names: "Pathn3_".
std::string path_rule_prefix(int rule);
// What the window calls a member of a group: "Path rule 3", "Callsign filter 17", "Beacon 6",
// "Filter 13"; the messages name the entries and beacons so too.
std::string path_rule_name(int rule);
std::string call_entry_name(int entry);
std::string beacon_name(int beacon);
std::string filter_row_name(int row);

// Field `what` ("callsign" or "ssid") of callsign filter entry `entry`: "Callfilter_ssid3".
std::string call_entry_control(const char* what, int entry);

// The start of beacon `beacon`'s control names: "Beacon3_".
std::string beacon_prefix(int beacon);

// The filter window's row controls: "Packet2rf_filter_" + what + the row as two digits.
std::string filter_row_control(const char* what, int row);

}  // namespace zyvora
