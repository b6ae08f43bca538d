#include "page_tree.h"

namespace zyvora {

const std::vector<PageDecl>& page_tree() {
    static const std::vector<PageDecl> tree = {
        {"TabSheet_radio", "Radio", "", false, {}},
        {"TabSheet_digipeater", "Digipeater", "PageControl3", true,
         {{"TabSheet_common_settings", "Common settings", "", false, {}},
          {"TabSheet_path_filter_rules", "PATH filter rules", "", false, {}},
          {"TabSheet_path_filter_areas", "PATH Filter areas", "", false, {}},
          {"TabSheet_callsign_filter_rules", "CALLSIGN filter rules", "", false, {}}}},
        {"TabSheet_beacons", "Beacons", "PageControl7", true,
         {{"TabSheet_beacons14", "Beacons 1-4", "", false, {}},
          {"TabSheet_beacons58", "Beacons 5-8", "", false, {}},
          {"TabSheet_gps_smartbeaconing", "GPS SmartBeaconing", "", false, {}}}},
        {"TabSheet_network", "Network", "", false, {}},
        {"TabSheet_aprsis_gateway", "APRS-IS gateway", "PageControl_aprsis_gateway", false,
         {{"TabSheet_aprsis_server", "APRS-IS server", "", false, {}},
          {"TabSheet_aprsis_common", "APRS-IS (common)", "", false, {}},
          {"TabSheet_rf_aprsis", "RF->APRS-IS", "", false, {}},
          {"TabSheet_aprsis_rf_messages", "APRS-IS->RF (messages)", "", false, {}},
          {"TabSheet_aprsis_rf_nonmessages", "APRS-IS->RF (non-messages)", "", false, {}}}},
        {"TabSheet_rtcntp_time", "RTC/NTP time", "", false, {}},
        {"TabSheet_remote_access", "Remote access", "PageControl_remote_access", false,
         {{"TabSheet_www", "WWW", "", false, {}},
          {"TabSheet_telnet", "Telnet", "", false, {}},
          {"TabSheet_kissviatcpip", "KISS via TCP/IP", "", false, {}},
          {"TabSheet1", "APRS-IS simple server", "", false, {}},
          {"TabSheet2", "Statistics upload", "", false, {}}}},
        {"TabSheet_telemetry_reports", "Telemetry reports", "PageControl_telemetry_reports", false,
         {{"TabSheet_report_settings", "Report settings", "", false, {}},
          {"TabSheet_analog_channels", "Analog channels", "", false, {}},
          {"TabSheet_digital_channels14", "Digital channels 1-4", "", false, {}},
          {"TabSheet_digital_channels58", "Digital channels 5-8", "", false, {}},
          {"TabSheet_brisel_outputs", "Brisel outputs", "", false, {}}}},
        {"TabSheet_weather_reports", "Weather reports", "PageControl_weather_reports", false,
         {{"TabSheet_weather_beacon", "Weather beacon", "", false, {}},
          {"TabSheet_weather_underground", "Weather Underground", "", false, {}}}},
        {"TabSheet_external_interfaces", "Ext. interfaces", "PageControl_external_interfaces", false,
         {{"TabSheet_rs232_ports", "RS-232 ports", "", false, {}},
          {"TabSheet_rs485_ports", "RS-485 port", "", false, {}},
          {"TabSheet_thermometer_port", "Thermometer port", "", false, {}},
          {"TabSheet_weather_station", "Weather station", "", false, {}},
          {"TabSheet_gps_receiver", "GPS receiver", "", false, {}},
          {"TabSheet_kiss", "KISS", "", false, {}},
          {"TabSheet_rss131_gamma_monitor", "RSS-131 gamma monitor", "", false, {}}}},
        {"TabSheet_other", "Other", "PageControl_other", false,
         {{"TabSheet_voltage_measurement", "Voltage measurement", "", false, {}}}},
    };
    return tree;
}

namespace {

bool find_path(const std::vector<PageDecl>& pages, std::string_view page, std::vector<std::string>& path) {
    for (const PageDecl& decl : pages) {
        path.push_back(decl.caption);
        if (decl.name == page || find_path(decl.pages, page, path)) return true;
        path.pop_back();
    }
    return false;
}

}  // namespace

std::vector<std::string> page_path(std::string_view page) {
    if (page == kFilterWindowPage) return {"APRS-IS packets to RF filter"};
    std::vector<std::string> path;
    if (!find_path(page_tree(), page, path)) path.clear();
    return path;
}

std::string page_caption(std::string_view page) {
    const std::vector<std::string> path = page_path(page);
    if (path.empty()) return std::string(page);
    std::string caption = path.front();
    for (std::size_t i = 1; i < path.size(); ++i) caption += " / " + path[i];
    return caption;
}

}  // namespace zyvora
