#pragma once
// The verbs of single settings: `get` reads some from a source, `set` changes some in a settings
// file, `diff` compares the settings of two sources as a device would hold them.
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "feedback.h"
#include "transport.h"

namespace zyvora::cli {

// --partial of the verbs that read a settings file.
inline constexpr const char* kPartialHelp =
    "The file leaves out settings on purpose: no warning about the ones it lacks, which read as their defaults";

// Their subcommands and the arguments they fill.
struct SettingVerbs {
    CLI::App *get = nullptr, *set = nullptr, *diff = nullptr;
    std::string source, file, output, a, b;
    std::vector<std::string> keys, assignments;
    bool json = false;
    bool partial = false, fill_defaults = false;  // set, on a file that lacks settings

    bool chosen() const { return *get || *set || *diff; }
    // Whether a source given is the device.
    bool needs_device() const;
};

void define_setting_verbs(CLI::App& app, SettingVerbs& verbs);

// The chosen verb's exit status; `port` is the device when needs_device().
int run_setting_verb(const SettingVerbs& verbs, DevicePort* port, Feedback& feedback);

}  // namespace zyvora::cli
