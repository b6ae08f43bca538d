#pragma once
// The PC's clock, injectable so that tests can fix "now".
#include <functional>

#include "controls.h"

namespace zyvora {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};
using Clock = std::function<LocalTime()>;

LocalTime system_local_time();

// The PC time fill: the five date and time controls of the "RTC/NTP time" page from `now`.
void pc_time_fill(ControlStore& store, const LocalTime& now);
// As "Write config" does first: the fill, when "Upload PC system time on config write" is checked.
void pc_time_fill_if_asked(ControlStore& store, const Clock& clock);

}  // namespace zyvora
