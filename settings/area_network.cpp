// The "Network" tab and the "Remote access" pages: the device's own IP settings, and its web,
// telnet, KISS, small APRS-IS server and statistics upload services.
#include "network.h"

#include "intparse.h"
#include "registry.h"

namespace zyvora {

namespace {

constexpr const char* kAddressPrefix = "Ipaddr";
constexpr int kDhcp = 1;  // the index of "DHCP" in "IP configuration method:"

}  // namespace

std::string device_address(const ControlStore& store) {
    if (store.index("Netconfig") == kDhcp) return {};
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const std::string& octet = store.text(kAddressPrefix + std::to_string(i));
        // Written without the spaces or zeros it may be typed with; the encode pass has checked it.
        const std::optional<std::int32_t> number = try_parse_int(octet);
        text += (i ? "." : "") + (number ? std::to_string(*number) : octet);
    }
    return text;
}

Area network_area() {
    AreaBuilder a("network");
    a.page("TabSheet_network");
    a.section("Network");
    a.choice("Netconfig", {"Static IP", "DHCP"}, 1)
        .caption("IP configuration method:")
        .quiet_hint("Static IP uses the settings below; DHCP takes them from your network.")
        .index8(633)
        .key("Netconfig", KeyKind::Index);

    // Four octets per row, first octet at the lowest offset. The image holds the gateway before
    // the mask; the checks and the file take the mask first.
    struct Address {
        const char* prefix;
        const char* caption;
        const char* hint;
        std::uint16_t offset;
        int octets[4];
        const char* message;
    };
    const Address rows[] = {
        {kAddressPrefix, "IP Address:", "Device IP address.", 634, {192, 168, 2, 2}, "IP Address - range error (0 - 255)."},
        {"Ipmask", "IP Mask:", "Device network mask", 642, {255, 255, 255, 0}, "IP Mask - range error (0 - 255)."},
        {"Ipgate", "Gateway:", "Your network gateway/router IP.", 638, {192, 168, 2, 1}, "Gateway - range error (0 - 255)."},
        {"Ipdns", "DNS:",
         "Domain name server IP. This should be your ISP's DNS server IP. Also most home routers are able to relay "
         "DNS queries.",
         646, {192, 168, 2, 1}, "DNS - range error (0 - 255)."},
    };
    for (const Address& row : rows) {
        for (int i = 0; i < 4; ++i) {
            const std::string name = row.prefix + std::to_string(i);
            a.edit(name, 3, std::to_string(row.octets[i]))
                .caption(i == 0 ? row.caption : ".")
                .spoken(caption_words(row.caption) + ", octet " + std::to_string(i + 1))
                .hint(row.hint)
                .number(static_cast<std::uint16_t>(row.offset + i), 1, 0, 255, row.message)
                .key(name, KeyKind::Integer);
        }
    }
    return a.take();
}

Area remote_area() {
    AreaBuilder a("remote");

    // Service ports are stored as their low 16 bits, unchecked, as the device has always taken them
    // and old files hold them; the settings-file lint warns of a port outside 0 - 65535.
    a.page("TabSheet_www");
    a.section("WWW");
    a.edit("www_user", 12, "admin").caption("WWW user:").hint("Web administration user name.").text(1825, 13).key("Www_user", KeyKind::Text);
    a.edit("www_password", 12, "tevan").caption("WWW password:").secret().hint("Web administration password.").text(1838, 13).key("Www_pass", KeyKind::Text);
    a.edit("www_port", 5, "80").caption("WWW port:").hint("Web administration port number.").number(1852, 2).key("Www_port", KeyKind::Integer);

    a.page("TabSheet_telnet");
    a.section("Telnet");
    a.edit("telnet_user", 12, "admin").caption("Telnet user:").hint("Telnet administration user name.").text(1871, 13).key("Telnet_user", KeyKind::Text);
    a.edit("telnet_password", 12, "tevan").caption("Telnet password:").secret().hint("Telnet administration password.").text(1884, 13).key("Telnet_pass", KeyKind::Text);
    a.edit("telnet_port", 5, "23").caption("Telnet port:").hint("Telnet administration port number.").number(1898, 2).key("Telnet_port", KeyKind::Integer);

    a.section("Debug");
    const struct {
        const char* name;
        const char* caption;
        int enabled;
    } debug[] = {
        {"Debug_aprsis", "APRS-IS:", 0},     {"Debug_aprsismsgs", "APRS-IS msgs:", 0},
        {"Debug_telemetry", "Telemetry:", 0}, {"Debug_ntp", "NTP:", 1},
        {"Debug_dns", "DNS:", 1},             {"Debug_rf", "RF:", 1},
        {"Debug_ax25", "AX.25:", 1},          {"Debug_weather", "Weather:", 0},
        {"Debug_wunderground", "Wunderground:", 1}, {"Debug_digi", "Digi:", 1},
        {"Debug_gps", "GPS:", 0},             {"Debug_thermo", "Thermometer:", 1},
        {"Debug_dhcp", "DHCP:", 1},           {"Debug_kiss", "KISS:", 1},
        {"Debug_aprsisserver", "APRSIS\nserver:", 1},
    };
    std::uint16_t offset = 2036;
    for (const auto& d : debug) {
        a.choice(d.name, {"Disabled", "Enabled"}, d.enabled)
            .caption(d.caption)
            .quiet_hint(caption_words(d.caption) + " debug messages in a telnet session, right after connect.")
            .index8(offset++)
            .key(d.name, KeyKind::Index);
    }

    a.page("TabSheet_kissviatcpip");
    a.section("KISSTCPIP");
    a.choice("kisstcpip_enable", {"No", "Yes"}, 0)
        .caption("KISS via TCP/IP enable:").hint("Enables or disables KISS via TCP/IP function.")
        .index8(1900)
        .key("Kisstcpip_enable", KeyKind::Index);
    a.edit("kisstcpip_port", 5, "12345")
        .caption("KISS via TCP/IP port:").hint("KISS via TCP/IP port number.")
        .number(1902, 2)
        .key("Kisstcpip_port", KeyKind::Integer);

    a.page("TabSheet1");
    a.section("APRSISServer");
    a.choice("aprsisserver_enable", {"No", "Yes"}, 0)
        .caption("APRS-IS simple server enable:").hint("Enables or disables APRS-IS simple server function.")
        .index8(1904)
        .key("Aprsisserver_enable", KeyKind::Index);
    a.edit("aprsisserver_port", 5, "14580")
        .caption("APRS-IS simple server port:").hint("APRS-IS simple server port number.")
        .number(1906, 2)
        .key("Aprsisserver_port", KeyKind::Integer);
    a.edit("aprsisserver_username", 16, "admin")
        .caption("Username:").hint("APRS-IS simple server authentication username.")
        .text(1908, 17)
        .key("Aprsisserver_username", KeyKind::Text);
    a.edit("aprsisserver_password", 16, "tevan")
        .caption("Password:")
        .secret().hint("APRS-IS simple server authentication password.")
        .text(1925, 17)
        .key("Aprsisserver_password", KeyKind::Text);
    a.choice("aprsisserver_tois", {"No", "Yes"}, 0)
        .caption("Forward traffic APRS-IS T2 -> APRS-IS simple server:")
        .hint("Enables or disables traffic forwarding from connected APRS-IS T2 server to APRS-IS simple server socket.")
        .index8(1942)
        .key("Aprsisserver_tois", KeyKind::Index);
    a.choice("aprsisserver_fromis", {"No", "Yes"}, 0)
        .caption("Forward traffic APRS-IS simple server -> APRS-IS T2:")
        .hint("Enables or disables traffic forwarding from APRS-IS simple server socket to connected APRS-IS T2 server.")
        .index8(1943)
        .key("Aprsisserver_fromis", KeyKind::Index);

    a.page("TabSheet2");
    a.section("Statsupload");
    a.choice("statsupload_enable", {"No", "Yes"}, 0)
        .caption("Statistics upload enable:")
        .quiet_hint("Enables or disables statistics upload.")
        .index8(1944)
        .key("Statsupload_enable", KeyKind::Index);
    // An identifier, not a number: leading zeros are part of it.
    a.edit("statsupload_id", 5, "123")
        .caption("Device ID:")
        .quiet_hint("Identifier the device sends with its statistics.")
        .text(1945, 6)
        .key("Statsupload_id", KeyKind::Text);
    a.edit("statsupload_hostname", 48, "192.168.2.1")
        .caption("Upload server hostname:")
        .quiet_hint("Statistics upload server domain name or IP address.")
        .text(1951, 49)
        .key("Statsupload_hostname", KeyKind::Text);
    a.edit("statsupload_port", 5, "80")
        .caption("Upload server port:")
        .quiet_hint("Statistics upload server port.")
        .number(2000, 2, 0, 65535, "Statistics upload port - range error (0 - 65535).")
        .key("Statsupload_port", KeyKind::Integer);
    a.edit("statsupload_path", 32, "APRS/aprs_stat.php")
        .caption("Upload server path:")
        .quiet_hint("Path on the server that statistics are uploaded to.")
        .text(2002, 33)
        .key("Statsupload_path", KeyKind::Text);
    a.edit("statsupload_txrate", 3, "5")
        .caption("Upload interval [min]:")
        .quiet_hint("Time between statistics uploads (minutes).")
        .number(2035, 1, 1, 240, "Statistics upload interval - range error (1 - 240).")
        .key("Statsupload_txrate", KeyKind::Integer);
    return a.take();
}

}  // namespace zyvora
