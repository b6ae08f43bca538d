#pragma once
// The system's folders the program looks at: its data folder (the XDG base directories), which
// it makes when needed, and the folders udev reads its rules from.
#include <string>
#include <vector>

namespace zyvora {

// $XDG_DATA_HOME, or .local/share in the user's home folder ($HOME, else the user database's)
// when it is unset or not an absolute path. Empty when the user has no home folder but `/`.
std::string data_home();

// Makes `folder` and any missing folders above it, new ones readable by their owner only.
// False with `why` set when that fails.
bool make_folders(const std::string& folder, std::string* why);

// The folders udev reads rules from, the administrator's first, each ending in '/'.
const std::vector<std::string>& udev_rule_folders();
// Whether udev reads the rule file at `path`.
bool udev_reads(const std::string& path);

}  // namespace zyvora
