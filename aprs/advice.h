#pragma once
// Advice: where a station's settings pass every check and still go against accepted APRS practice
// (an APRS-IS passcode of another call sign, paths from before the New-N paradigm, beacons that
// fill a shared channel, a symbol no map shows). Advice never stops a write; it says why and what
// to do.
#include <string>
#include <string_view>
#include <vector>

#include "controls.h"

namespace zyvora::aprs {

struct Advice {
    std::string id;       // short and stable, for silencing: "passcode", "path-old", ...
    std::string control;  // the setting it is about
    std::string text;
};

// The identifiers, in the order advice is given.
const std::vector<std::string_view>& advice_ids();

// The advice on a station's settings, leaving out the identifiers in `silenced`.
std::vector<Advice> station_advice(const ControlStore& store, const std::vector<std::string>& silenced = {});

// What the station's beacons put on the channel in an hour: frames of all enabled beacons with an
// RF rate, as AX.25 frames with their TX delay, at the station's baud rate.
struct Airtime {
    long bytes = 0;
    double seconds = 0;
    int baud = 1200;
};
Airtime beacon_airtime(const ControlStore& store);

}  // namespace zyvora::aprs
