#include "groups.h"

namespace zyvora {

namespace {

SettingBuilder& give_hint(SettingBuilder& row, std::string text, bool on_hover) {
    return on_hover ? row.hint(std::move(text)) : row.quiet_hint(std::move(text));
}

}  // namespace

void add_callsign_pair(AreaBuilder& a, const CallsignPair& pair) {
    const std::string name = pair.name.empty() ? caption_words(pair.caption) : pair.name;
    const auto call = [&] {
        SettingBuilder row = a.edit(pair.call, 6, pair.call_default);
        give_hint(row, pair.call_hint, pair.hints_on_hover)
            .caption(pair.caption)
            .spoken(pair.name)
            .call_text(pair.offset)
            .key(pair.call_key, KeyKind::Text)
            .saved_after(pair.saved_after);
    };
    if (!pair.ssid_first) call();
    SettingBuilder ssid = a.edit(pair.ssid, 2, pair.ssid_default);
    give_hint(ssid, pair.ssid_hint, pair.hints_on_hover)
        .caption("-")
        .spoken(name + " SSID")
        .call_ssid(pair.offset + 6, pair.ssid_message)
        .key(pair.ssid_key, KeyKind::Text)
        .companion(pair.call)
        .saved_after(pair.call);
    if (pair.ssid_first) call();
}

void add_report_group(AreaBuilder& a, const ReportGroup& g) {
    const std::string& p = g.prefix;
    const std::string& call = g.call_name.empty() ? g.name : g.call_name;
    const auto call_hint = [&](const char* what) { return g.name + what; };
    // A group saved elsewhere keeps its own order there: each row follows the one before it.
    const auto after = [&](const char* previous) { return g.saved_after.empty() ? std::string() : p + previous; };
    SettingBuilder dest = a.edit(p + "dest_string", 6, "APQK06");
    give_hint(dest, call_hint(" destination to-call."), g.call_hints)
        .caption("Dest:")
        .call_text(g.callsigns, call + " destination - too short (e.g. APQK06).")
        .key(p + "dest_string", KeyKind::Text)
        .saved_after(g.saved_after);
    SettingBuilder dest_ssid = a.edit(p + "dest_ssid", 2, "0");
    give_hint(dest_ssid, call_hint(" destination SSID."), g.call_hints)
        .caption("-")
        .spoken("Dest SSID")
        .call_ssid(g.callsigns + 6, call + " destination - SSID range error (0 - 15).")
        .key(p + "dest_ssid", KeyKind::Text)
        .saved_after(after("dest_string"));
    CallsignPair path;
    path.call = path.call_key = p + "path_string";
    path.ssid = path.ssid_key = p + "path_ssid";
    path.offset = static_cast<std::uint16_t>(g.callsigns + 7);
    path.call_default = "WIDE2";
    path.ssid_default = "2";
    path.caption = "Path:";
    path.call_hint = call_hint(" path.");
    path.ssid_hint = call_hint(" path SSID.");
    path.hints_on_hover = g.call_hints;
    path.ssid_message = call + " path - SSID range error (0 - 15).";
    path.ssid_first = g.path_ssid_first;
    path.saved_after = after("dest_ssid");
    add_callsign_pair(a, path);
    a.edit(p + "txrate_rf", g.rate_length, g.rf_default)
        .caption("RF[min]:").hint(g.name + " TX rate to RF (minutes). Set 0 to disable.")
        .number(g.rates, 2, 5, 1440, g.name + " tx rate (RF) range error (5 - 1440)" + g.rate_tail + ".")
        .key(p + "txrate_rf", KeyKind::Integer)
        .allow_zero()
        .saved_after(after("path_ssid"));
    a.edit(p + "txrate_aprsis", g.rate_length, g.is_default)
        .caption("IS[min]:").hint(g.name + " TX rate to APRS-IS (minutes). Set 0 to disable.")
        .number(g.rates + 2, 2, 5, 1440, g.name + " tx rate (APRSIS) range error (5 - 1440)" + g.rate_tail + ".")
        .key(p + "txrate_aprsis", KeyKind::Integer)
        .allow_zero()
        .saved_after(after("txrate_rf"));
}

}  // namespace zyvora
