#pragma once
// Faults the simulated device can be told to make, per command and page.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "report.h"

namespace zyvora {

enum class SimFaultKind {
    WrongSum,    // a page read reply whose page sum is off by one
    WrongEcho,   // reply byte 1 is not the command code
    ShortReply,  // 64 bytes come back instead of 65
    NoReply,     // nothing comes back within the time limit
    Gone,        // the device is unplugged: this request and all later ones fail, Open finds nothing
    Corrupt,     // a settings page write is acknowledged but stored with one byte changed
};

struct SimFault {
    Command command;
    std::optional<std::uint16_t> page;  // the page number as sent; none: every request
    SimFaultKind kind;
    bool operator==(const SimFault&) const = default;
};

// Reads "COMMAND[@PAGE]=KIND": COMMAND one of hwversion, fwversion, read, write, firmware;
// PAGE the page number as sent (0-511 for read and write, 0-65535 for firmware; the version
// commands have none); KIND one of wrong-sum (read only), wrong-echo, short-reply, no-reply,
// gone, corrupt (write only). Examples: "read@3=wrong-sum", "fwversion=wrong-echo", "firmware@0=gone".
// nullopt with a one-line reason in `error` when the text does not read.
std::optional<SimFault> parse_sim_fault(std::string_view text, std::string* error);

// The fault in the syntax above.
std::string to_string(const SimFault& fault);

}  // namespace zyvora
