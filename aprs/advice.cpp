#include "advice.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>

#include "group_names.h"
#include "intparse.h"
#include "passcode.h"

namespace zyvora::aprs {

namespace {

constexpr int kFixedStationMinutes = 10;

std::string upper_trimmed(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c != ' ') out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// A control's text, or "" for a control the store lacks.
std::string text_of(const ControlStore& store, const std::string& name) {
    const int id = store.id(name);
    return id < 0 ? std::string() : store.text(id);
}

int index_of(const ControlStore& store, const std::string& name) {
    const int id = store.id(name);
    return id < 0 ? -1 : store.index(id);
}

std::optional<int> number_of(const ControlStore& store, const std::string& name) {
    return try_parse_int(text_of(store, name));
}

// One element of a path as the device sends it: the call and its SSID.
struct PathElement {
    std::string control;  // the call's control
    std::string call;
    int ssid = 0;
    std::string shown() const { return ssid ? call + "-" + std::to_string(ssid) : call; }
};

// The elements of a path whose calls and SSIDs are these controls, without the empty ones.
std::vector<PathElement> path_of(const ControlStore& store,
                                 const std::vector<std::pair<std::string, std::string>>& controls) {
    std::vector<PathElement> path;
    for (const auto& [call, ssid] : controls) {
        PathElement element{call, upper_trimmed(text_of(store, call)), number_of(store, ssid).value_or(0)};
        if (!element.call.empty()) path.push_back(element);
    }
    return path;
}

// "WIDE2" -> 2; 0 for a call that is not `stem` and one digit 1 to 7.
int numbered(const std::string& call, std::string_view stem) {
    if (call.size() != stem.size() + 1 || !call.starts_with(stem)) return 0;
    const char digit = call.back();
    return digit >= '1' && digit <= '7' ? digit - '0' : 0;
}

// A path the station sends, with what the advice calls it.
struct SentPath {
    std::string name;  // "Beacon 1 path"
    std::vector<PathElement> elements;
};

bool beacon_enabled(const ControlStore& store, int k) { return index_of(store, beacon_prefix(k) + "enable") > 0; }

// A weather station chosen and a serial port set to read it.
bool weather_sent(const ControlStore& store) {
    return index_of(store, "Weather_stationtype") > 0 &&
           (index_of(store, "Serial1_mode") == 1 || index_of(store, "Serial2_mode") == 1);
}

bool telemetry_sent(const ControlStore& store) { return index_of(store, "Tele_enable") > 0; }

bool smartbeaconing(const ControlStore& store) { return index_of(store, "Position_report_mode") > 0; }

std::vector<PathElement> group_path(const ControlStore& store, const std::string& prefix) {
    return path_of(store, {{prefix + "path_string", prefix + "path_ssid"}});
}

std::vector<SentPath> sent_paths(const ControlStore& store) {
    std::vector<SentPath> paths;
    for (int k = 1; k <= kBeacons; ++k) {
        if (beacon_enabled(store, k)) paths.push_back({beacon_name(k) + " path", group_path(store, beacon_prefix(k))});
    }
    if (smartbeaconing(store)) {
        paths.push_back({"Position report path", path_of(store, {{"Position_path1", "Position_ssid1"},
                                                                 {"Position_path2", "Position_ssid2"},
                                                                 {"Position_path3", "Position_ssid3"}})});
    }
    if (weather_sent(store)) paths.push_back({"Weather report path", group_path(store, "Weather_")});
    if (telemetry_sent(store)) {
        paths.push_back({"Telemetry data path", group_path(store, "Teledata_")});
        paths.push_back({"Telemetry parameters path", group_path(store, "Teleparams_")});
    }
    if (index_of(store, "Aprsis_msg2rf") > 0) {
        paths.push_back({"APRS-IS message path", path_of(store, {{"Aprsis_msg2rf_path", "Aprsis_msg2rf_ssid"}})});
    }
    if (index_of(store, "Aprsis_packet2rf") > 0) {
        paths.push_back(
            {"APRS-IS non-message path", path_of(store, {{"Aprsis_packet2rf_path", "Aprsis_packet2rf_ssid"}})});
    }
    return paths;
}

void passcode_advice(const ControlStore& store, std::vector<Advice>& out) {
    const std::string login = base_call(text_of(store, "Aprsis_user"));
    bool server = false;
    for (int k = 1;; ++k) {
        const int id = store.id("Aprsis" + std::to_string(k) + "_servername");
        if (id < 0) break;
        server = server || !store.text(id).empty();
    }
    // A login never set up is no gateway in use.
    if (login.empty() || login == "NOCALL" || !server) return;
    const std::string pass = upper_trimmed(text_of(store, "Aprsis_pass"));
    const auto number = try_parse_int(pass);
    if (number && *number == -1) {
        out.push_back({"passcode", "Aprsis_pass",
                       "APRS-IS password -1 logs in receive-only: the servers take no packets from this station, "
                       "so nothing heard on RF reaches APRS-IS. Use the passcode of " + login + "."});
    } else if (!number || *number != passcode(login)) {
        out.push_back({"passcode", "Aprsis_pass",
                       "The APRS-IS password is not the passcode of " + login +
                           ": the servers take the login as receive-only and gate nothing from RF. Use the "
                           "passcode of " + login + " (the username without its SSID)."});
    }
}

void path_advice(const ControlStore& store, std::vector<Advice>& out) {
    for (const SentPath& path : sent_paths(store)) {
        for (std::size_t i = 0; i < path.elements.size(); ++i) {
            const PathElement& e = path.elements[i];
            const std::string said = path.name + " " + e.shown();
            if (e.call == "RELAY" || e.call == "WIDE" || e.call == "TRACE" || numbered(e.call, "TRACE")) {
                out.push_back({"path-old", e.control,
                               said + ": RELAY, WIDE and TRACE paths are obsolete since the New-N paradigm and "
                                      "digipeaters no longer serve them. Use WIDE1-1,WIDE2-1 or WIDE2-2."});
            } else if (numbered(e.call, "WIDE") && e.ssid > 2) {
                out.push_back({"path-hops", e.control,
                               said + " asks for " + std::to_string(e.ssid) +
                                   " hops: the New-N paradigm keeps paths to 2 hops (WIDE2-2), and digipeaters "
                                   "trap longer ones. Use WIDE2-2 or less."});
            } else if (i > 0 && e.call == "WIDE1" && e.ssid == 1) {
                out.push_back({"path-wide1", e.control,
                               said + ": WIDE1-1 asks the fill-in digipeaters for the first hop and belongs "
                                      "first in a path. Put it first or leave it out."});
            }
        }
    }
}

void path_rule_advice(const ControlStore& store, std::vector<Advice>& out) {
    for (int k = 1; k <= kPathRules; ++k) {
        const std::string p = path_rule_prefix(k);
        if (index_of(store, p + "active") <= 0 || upper_trimmed(text_of(store, p + "name")) != "WIDE") continue;
        const int id = store.id(p + "areaall");
        if (id < 0 || !store.checked(id)) continue;
        const int highest = number_of(store, p + "higher").value_or(0);
        if (highest <= 3) continue;
        out.push_back({"digi-wide-n", p + "higher",
                       path_rule_name(k) + " digipeats WIDEn-N up to n = " + std::to_string(highest) +
                           " for every station: the New-N paradigm has digipeaters trap paths of more than 2 (at "
                           "most 3) hops so that one packet does not flood the network. Set n <= to 2 or 3."});
    }
}

// A rate to RF in minutes that is set and shorter than a fixed station should send.
void rate_advice(const ControlStore& store, const std::string& what, const std::string& control,
                 std::vector<Advice>& out) {
    const auto minutes = number_of(store, control);
    if (!minutes || *minutes <= 0 || *minutes >= kFixedStationMinutes) return;
    out.push_back({"rate", control,
                   what + " goes out on RF every " + std::to_string(*minutes) +
                       " min: a fixed station sends every " + std::to_string(kFixedStationMinutes) +
                       " minutes or less often (30 is common), leaving the shared channel to others."});
}

void rate_advice(const ControlStore& store, std::vector<Advice>& out) {
    if (smartbeaconing(store)) return;  // a moving station's rates follow its speed
    const std::size_t before = out.size();
    for (int k = 1; k <= kBeacons; ++k) {
        if (beacon_enabled(store, k)) rate_advice(store, beacon_name(k), beacon_prefix(k) + "txrate_rf", out);
    }
    if (weather_sent(store)) rate_advice(store, "The weather report", "Weather_txrate_rf", out);
    if (telemetry_sent(store)) {
        rate_advice(store, "Telemetry data", "Teledata_txrate_rf", out);
        rate_advice(store, "Telemetry parameters", "Teleparams_txrate_rf", out);
    }
    if (out.size() == before) return;
    const Airtime air = beacon_airtime(store);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", air.seconds);
    out.push_back({"airtime", "Baudrate",
                   "The beacons put about " + std::to_string(air.bytes) + " bytes an hour on the channel: " +
                       seconds + " s of airtime an hour at " + std::to_string(air.baud) + " baud."});
}

void symbol_advice(const ControlStore& store, std::vector<Advice>& out) {
    const std::string table = text_of(store, "Position_symbol_table");
    const std::string code = text_of(store, "Position_symbol_code");
    if (!table.empty()) {
        const char t = table.front();
        if (t != '/' && t != '\\' && !std::isdigit(static_cast<unsigned char>(t)) && !(t >= 'A' && t <= 'Z')) {
            out.push_back({"symbol", "Position_symbol_table",
                           "Symbol table '" + table.substr(0, 1) +
                               "' is none of / (primary), \\ (alternate) or an overlay (0-9, A-Z): maps show no "
                               "symbol for it."});
        }
    }
    if (!code.empty() && (code.front() < '!' || code.front() > '~')) {
        out.push_back({"symbol", "Position_symbol_code",
                       "The symbol code is outside ! to ~: maps show no symbol for it."});
    }
}

// How long a beacon's message is once the device fills in its special strings.
std::size_t sent_length(std::string_view message) {
    static const std::pair<std::string_view, std::size_t> kFilled[] = {
        {"<gpslat>", 8}, {"<gpslong>", 9}, {"<gpsdate>", 6}, {"<lat>", 8}, {"<long>", 9}, {"<date>", 6},
        {"<volt>", 4},   {"<tempf>", 3},   {"<temp>", 3},     {"<gamma>", 4}};
    std::size_t length = 0;
    for (std::size_t i = 0; i < message.size();) {
        bool filled = false;
        for (const auto& [tag, size] : kFilled) {
            if (message.substr(i).starts_with(tag)) {
                length += size;
                i += tag.size();
                filled = true;
                break;
            }
        }
        if (!filled) {
            ++length;
            ++i;
        }
    }
    return length;
}

}  // namespace

const std::vector<std::string_view>& advice_ids() {
    static const std::vector<std::string_view> ids = {"passcode", "path-old", "path-hops", "path-wide1",
                                                      "digi-wide-n", "rate", "airtime", "symbol"};
    return ids;
}

Airtime beacon_airtime(const ControlStore& store) {
    Airtime air;
    air.baud = index_of(store, "Baudrate") == 1 ? 9600 : 1200;
    const double delay = number_of(store, "Txdelay").value_or(0) / 1000.0;
    for (int k = 1; k <= kBeacons; ++k) {
        const std::string p = beacon_prefix(k);
        const int minutes = number_of(store, p + "txrate_rf").value_or(0);
        if (!beacon_enabled(store, k) || minutes <= 0) continue;
        // Flags, destination, source and path addresses, control and PID, message, FCS.
        const std::size_t frame = 2 + 7 * (2 + group_path(store, p).size()) + 2 + sent_length(text_of(store, p + "msg")) + 2;
        const double per_hour = 60.0 / minutes;
        air.bytes += std::lround(per_hour * static_cast<double>(frame));
        air.seconds += per_hour * (delay + static_cast<double>(frame) * 8 / air.baud);
    }
    return air;
}

std::vector<Advice> station_advice(const ControlStore& store, const std::vector<std::string>& silenced) {
    std::vector<Advice> all;
    passcode_advice(store, all);
    path_advice(store, all);
    path_rule_advice(store, all);
    rate_advice(store, all);
    symbol_advice(store, all);
    std::erase_if(all, [&](const Advice& a) {
        return std::find(silenced.begin(), silenced.end(), a.id) != silenced.end();
    });
    return all;
}

}  // namespace zyvora::aprs
