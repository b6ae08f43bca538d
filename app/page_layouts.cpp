#include "page_layouts.h"

namespace zyvora_app {

const std::vector<PageLayout>& page_layouts() {
    static const std::vector<PageLayout> layouts = {
        {"TabSheet_radio",
         {{"",
           {{"Callsign", "Ssid"},
            {"Latitude"},
            {"Longitude"},
            {"Baudrate"},
            {"Txdelay"},
            {"Quiettime"},
            {"Quiettime_randomize"}}},
          {"",
           {{"Ptt"},
            {"Squelch"},
            {"Busydetect"},
            {"Consecutive_packets"},
            {"Output_level"},
            {"Input_amplifier"}}}}},
        {"TabSheet_common_settings", {{"", {{"Digion"}, {"Floodtimeout"}}}}},
    };
    return layouts;
}

}  // namespace zyvora_app
