#pragma once
// Groups of rows that several areas declare alike, written once. Each adds its rows in the
// order of the encode pass and says where the settings file holds them in another order.
#include <cstdint>
#include <string>

#include "table.h"

namespace zyvora {

// A call sign (or path) and its SSID as one callsign field: the call in bytes 0..5, the SSID in
// byte 6. The SSID is looked at only when the call sign is not empty. The settings file holds the
// call sign first and its SSID right after it.
struct CallsignPair {
    std::string call;  // control names
    std::string ssid;
    std::string call_key;  // settings-file key names
    std::string ssid_key;
    std::uint16_t offset = 0;
    std::string call_default;
    std::string ssid_default;
    std::string caption;  // the call sign's; the SSID's caption is "-"
    // What a screen reader calls the call sign, the SSID being "<name> SSID"; empty: the caption's words.
    std::string name;
    std::string call_hint;
    std::string ssid_hint;
    bool hints_on_hover = true;  // false: the page shows no hints here
    std::string ssid_message;
    // The SSID's row comes first, so that its range is checked before the call sign is stored.
    bool ssid_first = false;
    std::string saved_after;  // the control the file holds the pair after; empty: at its place
};
void add_callsign_pair(AreaBuilder& a, const CallsignPair& pair);

// A report's destination and path and its two rates, to RF and to APRS-IS. The destination
// (APQK06-0) must not be empty and its SSID is always checked; the path (WIDE2-2) follows it in
// the next callsign field; the rates are two u16 of 5..1440 minutes, where 0 switches one off.
// Control and key names are `prefix` + "dest_string", "dest_ssid", "path_string", "path_ssid",
// "txrate_rf", "txrate_aprsis". Hints and messages follow one pattern, made from the names below:
// "<name> destination to-call.", "<call name> destination - too short (e.g. APQK06).",
// "<name> tx rate (RF) range error (5 - 1440)<rate tail>.", and so on.
struct ReportGroup {
    std::string prefix;
    std::uint16_t callsigns = 0;  // the destination's callsign field; the path's is 7 bytes on
    std::uint16_t rates = 0;      // the RF rate; the APRS-IS rate is 2 bytes on
    int rate_length = 3;
    std::string rf_default;
    std::string is_default;
    std::string name;             // "Beacon 1": the hints and the rates' messages
    std::string call_name;        // the destination's and path's messages; empty: `name`
    bool call_hints = true;       // whether the destination and path rows show their hints on hover
    std::string rate_tail;        // after the rates' range: ", or 0 to disable"
    bool path_ssid_first = true;  // the path's SSID is checked before the path is stored
    std::string saved_after;      // the control the file holds the whole group after; empty: at its place
};
void add_report_group(AreaBuilder& a, const ReportGroup& g);

}  // namespace zyvora
