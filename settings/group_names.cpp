#include "group_names.h"

namespace zyvora {

std::string path_rule_prefix(int rule) { return "Pathn" + std::to_string(rule) + "_"; }

std::string call_entry_control(const char* what, int entry) {
    return std::string("Callfilter_") + what + std::to_string(entry);
}

std::string beacon_prefix(int beacon) { return "Beacon" + std::to_string(beacon) + "_"; }

}  // namespace zyvora
