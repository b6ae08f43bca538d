#pragma once
// Sending a remote update file to a device over the network: a TFTP write request in octet
// mode, through libcurl, of the file's bytes exactly as built.
#include <chrono>
#include <optional>
#include <string>

#include "feedback.h"
#include "outcome.h"

namespace zyvora {

inline constexpr int kTftpPort = 69;

// Where a device takes its update: a host name or an address, and the TFTP port.
struct UpdateAddress {
    std::string host;  // a name, an IPv4 address, or an IPv6 address without its brackets
    int port = kTftpPort;
};

// "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT"; a problem when it is none of them or the port
// is no number from 1 to 65535. HOST is a host name (letters, digits, '-' and '.') or an IPv4
// address; an IPv6 address may carry a zone after '%'.
Result<UpdateAddress> parse_update_address(const std::string& text);
// The address as the user writes it: the port only when it is not 69, an IPv6 address in brackets.
std::string address_text(const UpdateAddress& address);

// How long the transfer may take. A device that answers no packet within `block` (the first
// one included) is given up, and so is a whole transfer longer than `whole`. libcurl counts the
// whole transfer's time in whole seconds, so that one may end up to a second late.
struct SendLimits {
    std::chrono::seconds block{5};
    std::chrono::seconds whole{600};
};

// Reads `path`, refuses it unless it is a remote update file, then writes it to `to` as
// `remote_name` (the file's own name when empty). A failure's message ends a failure line. Only packets from the port that answered the
// request count; sent means every block handed out and acknowledged. Progress goes to `feedback` in 512-byte
// blocks, with a status log line at the start and the end; an interrupt stops the transfer.
Result<void> send_update_file(const std::string& path, const UpdateAddress& to, const std::string& remote_name,
                             Feedback& feedback, const SendLimits& limits = {});

}  // namespace zyvora
