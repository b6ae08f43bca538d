#pragma once
// One verb on several devices in turn: --device given more than once, or `--device all`. Each
// device is opened (and locked) for its turn alone; one device's failure does not stop the others,
// and a table of every device's outcome ends the run.
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "console.h"
#include "feedback.h"
#include "hid.h"

namespace zyvora::cli {

// The word of --device for every USB device attached.
inline constexpr const char* kAllDevices = "all";

// Sets `device_text` from the devices given (the first; hid when none).
void settle_devices(Options& o);

// The devices given, in order; {"hid"} when none is.
std::vector<std::string> given_devices(const Options& o);

// Whether the verb is to run on several devices: --device twice or more, or `all`.
bool several_devices(const Options& o);

// The faults of each device given, in order: a --sim-fault after a --device is that device's
// alone; one before any --device applies to them all.
std::vector<std::vector<std::string>> faults_per_device(const std::vector<std::string>& args, std::size_t devices);

// A device given and the faults aimed at it.
struct GivenDevice {
    std::string text;
    std::vector<std::string> faults;
    bool operator==(const GivenDevice&) const = default;
};

// `all` made into hid:PATH for each USB device `usb` finds: nullopt, with the message shown, when
// none is attached.
std::optional<std::vector<GivenDevice>> expand_all(const std::vector<GivenDevice>& given, HidPort& usb,
                                                   Feedback& feedback);

// A write's input named by {call}, which is known only once a device is read: the exit status of
// the refusal, or nullopt.
std::optional<int> refuse_names(const CommandLine& line);

// What does not hold together with several devices: the exit status of the refusal, or nullopt.
std::optional<int> refuse_several(const CommandLine& line);

// Runs the verb on each device in turn, then prints the table: 0 when every device succeeded.
int run_on_devices(const CommandLine& line, const std::vector<GivenDevice>& devices, const LogSetup& setup);

}  // namespace zyvora::cli
