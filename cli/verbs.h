#pragma once
// The verbs themselves, run on the start-up settings.
#include <memory>
#include <optional>

#include "command_line.h"
#include "console.h"
#include "link.h"
#include "simulated_device.h"

namespace zyvora::cli {

// The device the verbs talk to: the USB device, or the simulated one (kept for the whole run).
struct Device {
    std::unique_ptr<SimulatedDevice> simulated;
    std::unique_ptr<DevicePort> port;
};

// The device `--device` names, made into `device`: the exit status when it cannot be, or nullopt.
std::optional<int> make_device(Options& o, ConsoleFeedback& feedback, Device& device);

// The one verb given: its exit status.
int run_verb(const CommandLine& line, Device& device, ConsoleFeedback& feedback);

}  // namespace zyvora::cli
