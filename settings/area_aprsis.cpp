// The "APRS-IS gateway" tab (servers, login, filter, heard buffers and the gating rules in each
// direction) and the rows of the APRS-IS to RF filter window.
#include "group_names.h"
#include "groups.h"
#include "registry.h"

namespace zyvora {

namespace {

constexpr int kServers = 3;
constexpr std::uint16_t kServerBase = 144;
constexpr std::uint16_t kServerStride = 34;
constexpr std::uint16_t kFilterBase = 408;
constexpr std::uint16_t kFilterStride = 8;

// A call sign (or path) and its SSID, each keyed by its control name; the SSID is checked before
// the call sign is stored.
struct GatePair {
    const char* call;
    const char* ssid;
    std::uint16_t offset;
    const char* call_default;
    const char* ssid_default;
    const char* caption;
    const char* call_hint;
    const char* ssid_hint;
    const char* ssid_message;
};

void add_gate_pair(AreaBuilder& a, const GatePair& g) {
    CallsignPair pair;
    pair.call = pair.call_key = g.call;
    pair.ssid = pair.ssid_key = g.ssid;
    pair.offset = g.offset;
    pair.call_default = g.call_default;
    pair.ssid_default = g.ssid_default;
    pair.caption = g.caption;
    pair.call_hint = g.call_hint;
    pair.ssid_hint = g.ssid_hint;
    pair.ssid_message = g.ssid_message;
    pair.ssid_first = true;
    add_callsign_pair(a, pair);
}

std::string row_number(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

std::string filter_row_control(const char* what, int row) {
    return std::string("Packet2rf_filter_") + what + row_number(row);
}

Area aprsis_area() {
    AreaBuilder a("aprsis");
    a.section("APRS-IS");

    a.page("TabSheet_aprsis_server");
    for (int k = 1; k <= kServers; ++k) {
        const std::string n = std::to_string(k);
        const auto base = static_cast<std::uint16_t>(kServerBase + kServerStride * (k - 1));
        a.edit("Aprsis" + n + "_servername", 31, k == 1 ? "rotate.aprs2.net" : "")
            .caption("Server " + n + ":").hint("APRS-IS server domain name or IP address.")
            .text(base, 32)
            .key("Aprsis" + n + "_servername", KeyKind::Text);
        a.edit("Aprsis" + n + "_port", 5, "14580")
            .caption("Port:").spoken("Server " + n + " port").hint("APRS-IS server port.")
            .number(base + 32, 2, 0, 65535, "APRS-IS Server " + n + " Port - range error (0 - 65535).")
            .key("Aprsis" + n + "_port", KeyKind::Integer)
            .skip_empty();
    }
    a.edit("Aprsis_user", 16, "nocall")
        .caption("Username:").hint("Your login to APRS-IS network. Usually your callsign.")
        .text(110, 17)
        .key("Aprsis_user", KeyKind::Text)
        .upper();
    a.edit("Aprsis_pass", 16, "40713")
        .caption("Password:")
        .secret()
        .hint("You login to APRS-IS network. If you don't know it, you should ask your local APRS-IS administrator.")
        .text(127, 17)
        .key("Aprsis_pass", KeyKind::Text);
    a.edit("Aprsis_filter", 128, "m/40")
        .caption("APRS-IS server filter settings:").hint("This filter string will be sent to APRS-IS server after connect.")
        .text(247, 129)
        .key("Aprsis_filter", KeyKind::Text)
        .saved_after("Aprsis_timeout");
    a.edit("Aprsis_timeout", 2, "3")
        .caption("Inactivity reconnect timeout [m]:")
        .hint("Device will reconnect if no data received from APRS-IS over specified time.")
        .number(246, 1, 1, 60, "APRS-IS reconnect timeout - range error (1 - 60).")
        .key("Aprsis_timeout", KeyKind::Integer);

    a.section("I-Gate");
    a.page("TabSheet_aprsis_common");
    a.edit("Aprsis_heard_timeout", 3, "30")
        .caption("APRS-IS heard buffer timeout [m]:")
        .hint("Stations heard from APRS-IS will be stored in buffer for specified time.")
        .number(376, 1, 1, 240, "APRS-IS heard buffer timeout range error (1 - 240).")
        .key("Aprsis_heardtimeout", KeyKind::Integer);
    add_gate_pair(a, {"Aprsis_2rf_dest", "Aprsis_2rf_dest_ssid", 377, "APQK06", "0", "APRS-IS to RF dest:",
                     "APRS-IS to RF destination to-call.",
                     "APRS-IS to RF destination SSID.",
                     "APRS-IS to RF dest - SSID range error (0 - 15)."});

    a.page("TabSheet_rf_aprsis");
    a.choice("Aprsis_fromrf", {"No", "Yes"}, 1)
        .caption("Gate RF packets to APRS-IS:").hint("If enabled, will gate packets received from RF to APRS-IS.")
        .index8(384)
        .key("Aprsis_fromrf", KeyKind::Index);

    a.page("TabSheet_aprsis_rf_messages");
    a.choice("Aprsis_msg2rf", {"No", "Yes"}, 1)
        .caption("Gate messages to local RF:").hint("If enabled, will gate messages received from APRS-IS to RF.")
        .index8(385)
        .key("Aprsis_msg2rf", KeyKind::Index);
    add_gate_pair(a, {"Aprsis_msg2rf_path", "Aprsis_msg2rf_ssid", 386, "WIDE2", "1", "Message path:",
                     "APRS-IS to RF message destination to-call.",
                     "APRS-IS to RF message destination SSID.",
                     "APRS-IS message path - SSID range error (0 - 15)."});
    a.edit("Rfheard_local_maxhops", 3, "2")
        .caption("Local RF heard max. digi-hops:")
        .hint("Maximum number of digi-hops to recognize station as in local RF.")
        .number(393, 1, 0, 8, "Local RF heard max. digi-hops range error (0 - 8).")
        .key("Rfheard_local_maxhops", KeyKind::Integer);
    a.edit("Rfheard_local_timeout", 3, "30")
        .caption("Local RF heard buffer timeout [m]:")
        .hint("Stations heard from local RF will be stored in buffer for specified time.")
        .number(394, 1, 1, 240, "Local RF heard buffer timeout range error (1 - 240).")
        .key("Rfheard_local_timeout", KeyKind::Integer);

    a.page("TabSheet_aprsis_rf_nonmessages");
    a.choice("Aprsis_packet2rf", {"No", "Yes"}, 1)
        .caption("Gate non-message packets to RF:")
        .hint("If enabled, will gate non-message packets received from APRS-IS to RF.")
        .index8(395)
        .key("Aprsis_packet2rf", KeyKind::Index);
    add_gate_pair(a, {"Aprsis_packet2rf_path", "Aprsis_packet2rf_ssid", 401, "WIDE2", "1", "Non-message path:",
                     "APRS-IS to RF non-message packets destination to-call.",
                     "APRS-IS to RF non-message packets destination SSID.",
                     "APRS-IS non-message path - SSID range error (0 - 15)."});
    a.choice("Aprsis_packet2rf_ifheard", {"No", "Yes"}, 0)
        .caption("Gate if source station heard via RF:")
        .hint("If enabled, will gate non-message packets to RF even if source is heard via RF.")
        .index8(396)
        .key("Aprsis_packet2rf_ifheard", KeyKind::Index);
    a.edit("Rfheard_timeout", 3, "60")
        .caption("RF heard buffer timeout [m]:")
        .hint("Stations heard from RF will be stored in buffer for specified time.")
        .number(397, 1, 1, 240, "RF heard buffer timeout range error (1 - 240).")
        .key("Rfheard_timeout", KeyKind::Integer);
    const char* per_minutes[] = {"6", "9", "12"};
    for (int m = 1; m <= 3; ++m) {
        const std::string n = std::to_string(m);
        a.edit("Aprsis_packet2rf_" + n + "min", 3, per_minutes[m - 1])
            .caption(m == 1 ? "Max. packets per 1 / 2 / 3 min:" : "/")
            .spoken("Max. packets per " + n + " min")
            .hint("Maximum number of packets gated from APRS-IS to RF over " + n + (m == 1 ? " minute." : " minutes."))
            .number(static_cast<std::uint16_t>(397 + m), 1, 1, 240,
                    "Max. non-message packets per " + n + " min range error (1 - 240).")
            .key("Aprsis_packet2rf_" + n + "min", KeyKind::Integer);
    }

    // The filter window's rows; the message numbers them without a leading zero, the names with one.
    a.page("TForm4_rows");
    for (int r = 1; r <= kFilterRows; ++r) {
        const auto base = static_cast<std::uint16_t>(kFilterBase + kFilterStride * (r - 1));
        const std::string call = filter_row_control("callsign", r);
        const std::string ssid = filter_row_control("ssid", r);
        const std::string type = filter_row_control("type", r);
        a.member(filter_row_name(r));
        // The SSID pattern is checked before the pattern is stored; the file holds the pattern first.
        a.edit(ssid, 2, "*")
            .caption("SSID:").hint("SSID pattern for APRS-IS to RF filter.")
            .call_ssid(base + 6, "APRS-IS packets to RF filter " + std::to_string(r) +
                                     " - SSID range error (0 - 15, or wildcard '*').")
            .key(ssid, KeyKind::Text)
            .wildcard()
            .saved_after(call);
        a.edit(call, 6, "").caption("Callsign:").hint("Callsign pattern for APRS-IS to RF filter.").call_text(base).key(call, KeyKind::Text);
        a.choice(type, {"Not used", "Allow all", "Deny all", "Beacons", "Destination", "Telemetry", "Bulletin"}, 0)
            .caption("Type:").hint("APRS-IS to RF filter type.")
            .no_selection("APRS-IS packets to RF filter " + std::to_string(r) + " - Type: no item selected.")
            .index8(base + 7)
            .key(type, KeyKind::Index);
    }
    a.member("");

    return a.take();
}

}  // namespace zyvora
