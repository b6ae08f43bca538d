#include "groups.h"

namespace zyvora {

void add_callsign_pair(AreaBuilder& a, const CallsignPair& pair) {
    a.edit(pair.call, 6, pair.call_default)
        .caption(pair.caption).hint(pair.call_hint)
        .call_text(pair.offset)
        .key(pair.call_key, KeyKind::Text);
    a.edit(pair.ssid, 2, pair.ssid_default)
        .caption("-").hint(pair.ssid_hint)
        .call_ssid(pair.offset + 6, pair.ssid_message)
        .key(pair.ssid_key, KeyKind::Text)
        .companion(pair.call);
}

void add_report_group(AreaBuilder& a, const ReportGroup& g) {
    const std::string& p = g.prefix;
    a.edit(p + "dest_string", 6, "APQK06")
        .caption("Dest:").hint(g.dest_hint)
        .call_text(g.callsigns, g.dest_message)
        .key(p + "dest_string", KeyKind::Text);
    a.edit(p + "dest_ssid", 2, "0")
        .caption("-").hint(g.dest_ssid_hint)
        .call_ssid(g.callsigns + 6, g.dest_ssid_message)
        .key(p + "dest_ssid", KeyKind::Text);
    CallsignPair path;
    path.call = path.call_key = p + "path_string";
    path.ssid = path.ssid_key = p + "path_ssid";
    path.offset = static_cast<std::uint16_t>(g.callsigns + 7);
    path.call_default = "WIDE2";
    path.ssid_default = "2";
    path.caption = "Path:";
    path.call_hint = g.path_hint;
    path.ssid_hint = g.path_ssid_hint;
    path.ssid_message = g.path_ssid_message;
    add_callsign_pair(a, path);
    a.edit(p + "txrate_rf", g.rate_length, g.rf_default)
        .caption("RF[min]:").hint(g.rf_hint)
        .number(g.rates, 2, 5, 1440, g.rf_message)
        .key(p + "txrate_rf", KeyKind::Integer)
        .allow_zero();
    a.edit(p + "txrate_aprsis", g.rate_length, g.is_default)
        .caption("IS[min]:").hint(g.is_hint)
        .number(g.rates + 2, 2, 5, 1440, g.is_message)
        .key(p + "txrate_aprsis", KeyKind::Integer)
        .allow_zero();
}

}  // namespace zyvora
