#include "group_names.h"

namespace zyvora {

std::string path_rule_prefix(int rule) { return "Pathn" + std::to_string(rule) + "_"; }

std::string call_entry_control(const char* what, int entry) {
    return std::string("Callfilter_") + what + std::to_string(entry);
}

std::string beacon_prefix(int beacon) { return "Beacon" + std::to_string(beacon) + "_"; }

std::string path_rule_name(int rule) { return "Path rule " + std::to_string(rule); }

std::string call_entry_name(int entry) { return "Callsign filter " + std::to_string(entry); }

std::string beacon_name(int beacon) { return "Beacon " + std::to_string(beacon); }

std::string filter_row_name(int row) { return "Filter " + std::to_string(row); }

}  // namespace zyvora
