// The three filter pages of "Digipeater": eight path filter rules, the areas they may require,
// and the callsign filter with its twenty exceptions. Rules and entries are one group each,
// repeated with their number in names, keys and messages.
#include "group_names.h"
#include "registry.h"

namespace zyvora {

namespace {

constexpr std::uint16_t kRuleBase = 1584;
constexpr std::uint16_t kRuleStride = 9;
constexpr std::uint16_t kCallBase = 1685;
constexpr std::uint16_t kCallStride = 7;

// The five check boxes of a rule in flag-bit order from bit 3, with their captions and hints.
struct RuleBox {
    const char* suffix;
    const char* caption;
    const char* hint;
};
constexpr RuleBox kRuleBoxes[] = {
    {"directonly", "Direct only:", "Only packets received directly.  All path elements without H-bit set."},
    {"areaall", "Area ALL:", "Stations within unlimited range."},
    {"arearad0", "Area RAD0:", "Stations fulfilling RAD0 area limit."},
    {"arearad1", "Area RAD1:", "Stations fulfilling RAD1 area limit."},
    {"arearect0", "Area RECT0:", "Stations fulfilling RECT0 area limit."},
};

}  // namespace

Area filters_area() {
    AreaBuilder a("filters");
    a.section("Digipeater");
    a.page("TabSheet_path_filter_rules");
    for (int k = 1; k <= kPathRules; ++k) {
        const std::string n = std::to_string(k);
        const std::string p = path_rule_prefix(k);
        const auto base = static_cast<std::uint16_t>(kRuleBase + kRuleStride * (k - 1));
        const auto flags = static_cast<std::uint16_t>(base + 8);
        const std::string rule = "Path(n-N) " + n;
        a.member(path_rule_name(k));
        const char* name = k == 1 ? "WIDE" : k == 2 ? "SP" : "";

        a.edit(p + "name", 5, name)
            .caption("Path (n-N):")
            .hint("New-N path for digipeated packets. Example: setting path to WIDE and n>=1, n<=2 will make the "
                  "device digipeat packets with WIDE2-2 or WIDE2-1 or WIDE1-1 in path.")
            .text(base, 6)
            .key(p + "name", KeyKind::Text);
        a.edit(p + "lower", 1, "1")
            .caption("n >=")
            .quiet_hint("Lowest hop count n of the path that the rule serves (1 - 7).")
            .number(base + 6, 1, 1, 7, rule + ", n>= value range error (1 - 7).")
            .key(p + "lower", KeyKind::Text);
        a.edit(p + "higher", 1, "7")
            .caption("n <=")
            .quiet_hint("Highest hop count n of the path that the rule serves (1 - 7).")
            .number(base + 7, 1, 1, 7, rule + ", n<= value range error (1 - 7).")
            .key(p + "higher", KeyKind::Text);
        a.choice(p + "traceable", {"No", "Yes"}, k == 1 ? 1 : 0)
            .caption("Traceable:")
            .hint("If selected, the device will add its callsign to path of digipeated packets.")
            .no_selection(rule + " - Traceable: no item selected.")
            .flag_bits(flags, 2, 1)
            .key(p + "traceable", KeyKind::Index);
        a.choice(p + "active", {"Never", "Always", "No APRS-IS"}, k <= 2 ? 1 : 0)
            .caption("Enable if:")
            .hint("Path rule is enabled if this condition is met.")
            .no_selection(rule + " - Enable if: no item selected.")
            .flag_bits(flags, 0, 2)
            .key(p + "active", KeyKind::Index);
        for (std::size_t bit = 0; bit < std::size(kRuleBoxes); ++bit) {
            const RuleBox& box = kRuleBoxes[bit];
            a.check(p + box.suffix, std::string(box.suffix) == "areaall")
                .caption(box.caption)
                .hint(box.hint)
                .flag_bits(flags, static_cast<std::uint8_t>(3 + bit), 1)
                .key(p + box.suffix, KeyKind::Check);
        }
    }
    a.member("");

    a.page("TabSheet_path_filter_areas");
    // The page reads as sentences: each edit's caption is the text before it.
    a.edit("Area_rad0_radius", 4, "50")
        .caption("area RAD0 - all stations within a range of")
        .spoken("Area RAD0 distance")
        .quiet_hint("Radius of area RAD0 around our station, in kilometers (1 - 3000).")
        .number(1656, 2, 1, 3000, "Path filter area RAD0 distance range error (1 - 3000).")
        .key("Arearad0_distance", KeyKind::Integer);
    a.edit("Area_rad1_radius", 4, "20")
        .caption("area RAD1 - all stations within a range of")
        .spoken("Area RAD1 distance")
        .quiet_hint("Radius of area RAD1 around its centre point, in kilometers (1 - 3000).")
        .number(1658, 2, 1, 3000, "Path filter area RAD1 distance range error (1 - 3000).")
        .key("Arearad1_distance", KeyKind::Integer);
    a.edit("Area_rad1_latitude", 8, "5221.05N")
        .caption("kilometers from point")
        .spoken("Area RAD1 latitude")
        .quiet_hint("Latitude of the centre point of area RAD1 (DDMM.MM and N or S).")
        .packed_latitude(1660, "Path filter area RAD1 latitude - syntax error (e.g. 5221.05N, format: DDMM.MM).",
                         "Path filter area RAD1 latitude - syntax error (e.g. 5221.05N, format: DDMM.MM).")
        .key("Arearad1_latitude", KeyKind::Text);
    a.edit("Area_rad1_longitude", 9, "01643.89E")
        .caption("latitude, ")
        .spoken("Area RAD1 longitude")
        .quiet_hint("Longitude of the centre point of area RAD1 (DDDMM.MM and E or W).")
        .packed_longitude(1664, "Path filter area RAD1 longitude - syntax error (e.g. 01643.89E, format DDDMM.MM).",
                          "Path filter area RAD1 longitude - syntax error (e.g. 01643.89E, format: DDDMM.MM).")
        .key("Arearad1_longitude", KeyKind::Text);
    a.edit("Area_rect0_nwlatitude", 8, "5232.05N")
        .spoken("Area RECT0 north-west latitude")
        .quiet_hint("Latitude of the north-western corner of area RECT0 (DDMM.MM and N or S).")
        .packed_latitude(1668,
                         "Path filter area RECT0 north-west latitude - syntax error (e.g. 5232.05N, format: DDMM.MM).",
                         "Path filter area RECT0 north-west latitude - syntax error (e.g. 5232.05N, format: DDMM.MM).")
        .key("Arearect0_nwlatitude", KeyKind::Text);
    // The two messages differ in their example and in the colon after "format": users and scripts
    // match these texts, so they stay exactly as they have always read.
    a.edit("Area_rect0_nwlongitude", 9, "01633.84E")
        .caption("latitude, ")
        .spoken("Area RECT0 north-west longitude")
        .quiet_hint("Longitude of the north-western corner of area RECT0 (DDDMM.MM and E or W).")
        .packed_longitude(
            1672, "Path filter area RECT0 north-west longitude - syntax error (e.g. 01633.84E, format DDDMM.MM).",
            "Path filter area RECT0 north-west longitude - syntax error (e.g. 01643.89E, format: DDDMM.MM).")
        .key("Arearect0_nwlongitude", KeyKind::Text);
    a.edit("Area_rect0_selatitude", 8, "5217.58N")
        .spoken("Area RECT0 south-east latitude")
        .quiet_hint("Latitude of the south-eastern corner of area RECT0 (DDMM.MM and N or S).")
        .packed_latitude(1676,
                         "Path filter area RECT0 south-east latitude - syntax error (e.g. 5217.58N, format: DDMM.MM).",
                         "Path filter area RECT0 south-east latitude - syntax error (e.g. 5217.58N, format: DDMM.MM).")
        .key("Arearect0_selatitude", KeyKind::Text);
    a.edit("Area_rect0_selongitude", 9, "01713.95E")
        .caption("latitude, ")
        .spoken("Area RECT0 south-east longitude")
        .quiet_hint("Longitude of the south-eastern corner of area RECT0 (DDDMM.MM and E or W).")
        .packed_longitude(
            1680, "Path filter area RECT0 south-east longitude - syntax error (e.g. 01713.95E, format DDDMM.MM).",
            "Path filter area RECT0 south-east longitude - syntax error (e.g. 01713.95E, format: DDDMM.MM).")
        .key("Arearect0_selongitude", KeyKind::Text);

    a.page("TabSheet_callsign_filter_rules");
    a.choice("Callfilter_rule", {"Allow all, except below", "Deny all, except below"}, 0)
        .caption("General rule:").hint("General rule for digipeater callsign filter")
        .index8(1684)
        .key("Callfilter_rule", KeyKind::Index);
    for (int k = 1; k <= kCallEntries; ++k) {
        const std::string n = std::to_string(k);
        const std::string call = call_entry_control("callsign", k);
        const std::string ssid = call_entry_control("ssid", k);
        const auto base = static_cast<std::uint16_t>(kCallBase + kCallStride * (k - 1));
        a.member(call_entry_name(k));
        // The SSID is checked before the call sign is stored; the file holds the call sign first.
        a.edit(ssid, 2, "*")
            .caption("SSID:").hint("Callsign filter SSID.")
            .call_ssid(base + 6, call_entry_name(k) + " - SSID range error (0 - 15, or wildcard '*').")
            .key(ssid, KeyKind::Text)
            .wildcard()
            .saved_after(call);
        a.edit(call, 6, "").caption("Callsign:").hint("Callsign filter callsign.").call_text(base).key(call, KeyKind::Text);
    }
    a.member("");

    return a.take();
}

}  // namespace zyvora
