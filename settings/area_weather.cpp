// The "Weather reports" tab: the APRS weather beacon and uploads to Weather Underground.
#include "groups.h"
#include "registry.h"

namespace zyvora {

Area weather_area() {
    AreaBuilder a("weather");
    a.page("TabSheet_weather_beacon");
    a.section("Weather");
    ReportGroup g;
    g.prefix = "Weather_";
    g.callsigns = 57;
    g.rates = 72;
    g.rf_default = g.is_default = "5";
    g.name = "Weather report";
    g.call_name = "Weather";
    // 0 switches a report off, although the messages name only 5 - 1440.
    add_report_group(a, g);
    a.edit("Weather_comment", 32, "Zyvora weather")
        .caption("Comment:").hint("weather report comment.")
        .text(76, 33)
        .printable("Weather report comment - forbidden characters.")
        .key("Weather_comment", KeyKind::Text);

    a.page("TabSheet_weather_underground");
    a.section("WeatherUnderground");
    a.choice("WU_enable", {"Disabled", "Enabled"}, 0)
        .caption("Weather reports to Weather Underground:")
        .hint("Enables or disables weather reports to Weather Underground.")
        .index8(2474)
        .key("Enable", KeyKind::Index);
    a.edit("WU_stationid", 24, "").caption("Station ID:").hint("Weather Underground station ID.").text(2475, 25).key("StationID", KeyKind::Text);
    // The account password is shown and stored in clear, as the device needs it.
    a.edit("WU_password", 24, "").caption("Password:").secret().hint("Weather Underground account password.").text(2500, 25).key("Password", KeyKind::Text);
    a.edit("WU_normalserver", 39, "weatherstation.wunderground.com")
        .caption("Normal upload server:").hint("Normal upload server.")
        .text(2525, 40)
        .key("Normalserver", KeyKind::Text);
    a.edit("WU_rapidfireserver", 39, "rtupdate.wunderground.com")
        .caption("\"Rapid fire\" upload server:").hint("\"Rapid fire\" upload server.")
        .text(2565, 40)
        .key("Rapidfireserver", KeyKind::Text);
    a.choice("WU_sendmethod", {"Normal", "\"Rapid fire\""}, 0)
        .caption("Weather send method:").hint("Weather send method.")
        .index8(2605)
        .key("Sendmethod", KeyKind::Index);
    // Both rates are checked whatever the method and the switch say.
    a.edit("WU_normalrate", 3, "1")
        .caption("Normal weather send rate [min]:").hint("Weather send rate (in minutes) for normal server.")
        .number(2606, 1, 1, 240, "WeatherUnderground normal send rate range error (1 - 240).")
        .key("Normal_rate", KeyKind::Integer);
    a.edit("WU_rapidfirerate", 3, "5")
        .caption("\"Rapid fire\" weather send rate [sec]:")
        .hint("Weather send rate (in seconds) for \"Rapid fire\" server.")
        .number(2607, 1, 5, 60, "WeatherUnderground \"Rapid fire\" send rate range error (5 - 60).")
        .key("Rapidfire_rate", KeyKind::Integer);

    return a.take();
}

}  // namespace zyvora
