// The "RTC/NTP time" page: the date and time sent for the device's real-time clock, and the
// network time server.
#include <ctime>

#include "clock.h"
#include "registry.h"

namespace zyvora {

namespace {
const char* const kDateTimeControls[] = {"Rtcyear", "Rtcmonth", "Rtcday", "Rtchour", "Rtcmin"};
}

Area time_area() {
    AreaBuilder a("time");
    a.page("TabSheet_rtcntp_time");
    a.section("RTC");

    // The PC time fill gives these their values; the settings file does not hold them. Typed by
    // hand, a month 99 would reach the clock as it is, so each is held to its calendar range
    // (the year to its field's).
    const struct {
        const char* name;
        const char* caption;
        int max_length;
        std::uint16_t offset;
        std::uint16_t bytes;
        std::int32_t lo, hi;
        const char* message;
    } date_time[] = {
        {"Rtcyear", "Year:", 4, 650, 2, 0, 65535, "RTC year - range error (0 - 65535)."},
        {"Rtcmonth", "Month:", 2, 652, 1, 1, 12, "RTC month - range error (1 - 12)."},
        {"Rtcday", "Day:", 2, 653, 1, 1, 31, "RTC day - range error (1 - 31)."},
        {"Rtchour", "Hour:", 2, 654, 1, 0, 23, "RTC hour - range error (0 - 23)."},
        {"Rtcmin", "Minute:", 2, 655, 1, 0, 59, "RTC minute - range error (0 - 59)."},
    };
    for (const auto& d : date_time) {
        a.edit(d.name, d.max_length, "")
            .caption(d.caption)
            .quiet_hint(caption_words(d.caption) + " of the device's real time clock, set on config write.")
            .number(d.offset, d.bytes, d.lo, d.hi, d.message)
            .encode_only();
    }
    a.check("Uploadpctime", true)
        .caption("Upload PC system time on config write")
        .hint("If selected, the application will send current PC time on config save.")
        .key("Uploadpctime", KeyKind::Boolean);
    a.check("Ntp_enable", true)
        .caption("Use NTP server")
        .hint("If selected, the device will synchronize time with network time protocol server.")
        .index8(600)
        .key("Ntp_enable", KeyKind::Boolean);
    a.edit("Ntp_servername", 31, "pool.ntp.org")
        .caption("NTP server:")
        .hint("Network time protocol server IP for time synchronization.")
        .text(601, 32)
        .key("Ntp_servername", KeyKind::Text);

    return a.take();
}

// The clock option: the date and time edits take the PC's time while "Upload PC system time"
// is checked, and are typed in by hand otherwise. It looks only at that box, whichever box was
// clicked.
std::vector<ChangeHandler> time_handlers() {
    auto clock_option = [](ControlStore& store) {
        const bool by_hand = !store.checked("Uploadpctime");
        for (const char* name : kDateTimeControls) store.set_enabled(store.require(name), by_hand);
        return std::vector<std::string>{};
    };
    return {{"Uploadpctime", clock_option, true}, {"Ntp_enable", clock_option, false}};
}

LocalTime system_local_time() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

void pc_time_fill(ControlStore& store, const LocalTime& now) {
    const int values[] = {now.year, now.month, now.day, now.hour, now.minute};
    for (std::size_t i = 0; i < 5; ++i) {
        // A store without the clock page (a cut-down test registry) has nothing to fill.
        const int id = store.id(kDateTimeControls[i]);
        if (id >= 0) store.set_text(id, std::to_string(values[i]));
    }
}

void pc_time_fill_if_asked(ControlStore& store, const Clock& clock) {
    const int option = store.id("Uploadpctime");
    if (option >= 0 && store.checked(option)) pc_time_fill(store, clock());
}

}  // namespace zyvora
