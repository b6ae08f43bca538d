#pragma once
// The verbs themselves, run on the start-up settings.
#include <memory>
#include <optional>

#include "command_line.h"
#include "console.h"
#include "controls.h"
#include "link.h"
#include "simulated_device.h"

namespace zyvora::cli {

// The device the verbs talk to: the USB device, or the simulated one (kept for the whole run).
struct Device {
    std::unique_ptr<SimulatedDevice> simulated;
    std::unique_ptr<DevicePort> port;
    std::string backup;  // the file a write kept the device's settings in before replacing them
};

// The device `--device` names, made into `device`: the exit status when it cannot be, or nullopt.
std::optional<int> make_device(Options& o, ConsoleFeedback& feedback, Device& device);

// The one verb given: its exit status. `o` in place of the command line's options: those of one
// device among several. `store` gets the settings the verb started from or worked on.
int run_verb(const CommandLine& line, Device& device, ConsoleFeedback& feedback);
int run_verb(const CommandLine& line, const Options& o, ControlStore& store, Device& device, ConsoleFeedback& feedback);

// `pattern` with {serial} and {call} replaced by the values made safe for a file name.
std::string with_names(const std::string& pattern, const std::string& serial, const std::string& call);

// What a verb's runner gets: the command line as parsed, the start-up settings, the device (when
// the verb needs one) and the console.
struct VerbRun {
    const CommandLine& line;
    const Options& o;
    ControlStore& store;
    Device& device;
    ConsoleFeedback& feedback;
};

// The runners of the verb table: the verb's exit status.
int run_defaults(VerbRun& run);
int run_check(VerbRun& run);
int run_encode(VerbRun& run);
int run_decode(VerbRun& run);
int run_read(VerbRun& run);
int run_write(VerbRun& run);
int run_upload_firmware(VerbRun& run);
int run_ruf(VerbRun& run);
int run_send_update(VerbRun& run);
int run_info(VerbRun& run);
int run_list(VerbRun& run);
int run_history(VerbRun& run);
int run_get(VerbRun& run);  // setting_verbs.cpp
int run_set(VerbRun& run);
int run_diff(VerbRun& run);
int run_position(VerbRun& run);
int run_apply(VerbRun& run);  // sheet_verbs.cpp
int run_report(VerbRun& run);

}  // namespace zyvora::cli
