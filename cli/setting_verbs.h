#pragma once
// The verbs of single settings: `get` reads some from a source, `set` changes some in a settings
// file, `diff` compares the settings of two sources as a device would hold them.
#include <string>
#include <vector>

namespace zyvora::cli {

// --partial of the verbs that read a settings file.
inline constexpr const char* kPartialHelp =
    "The file leaves out settings on purpose: no warning about the ones it lacks, which read as their defaults";

// The arguments they fill.
struct SettingVerbs {
    std::string source, file, output, a, b;
    std::vector<std::string> keys, assignments;
    bool json = false;
    bool partial = false, fill_defaults = false;  // set, on a file that lacks settings

    // Whether a source given is the device.
    bool names_device() const;
};

}  // namespace zyvora::cli
