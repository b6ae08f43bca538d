#include "send_update.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <poll.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>

#include "files.h"
#include "package.h"
#include "unique_fd.h"

namespace zyvora {

namespace {

// TFTP's block size when the device acknowledges no options; libcurl asks for no other.
constexpr std::size_t kBlockSize = 512;
// A remote update file holds the settings and a firmware image; far larger is no such file.
constexpr std::size_t kUpdateFileLimit = std::size_t{64} << 20;

std::optional<int> parse_port(const std::string& text) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](unsigned char c) {
            return std::isdigit(c) != 0;
        })) {
        return std::nullopt;
    }
    const int port = std::stoi(text);
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

// What the device's error packet means, by the code libcurl turns it into.
std::string refusal(CURLcode code) {
    switch (code) {
        case CURLE_TFTP_NOTFOUND: return "file not found";
        case CURLE_TFTP_PERM: return "access violation";
        case CURLE_REMOTE_DISK_FULL: return "disk full";
        case CURLE_TFTP_ILLEGAL: return "illegal TFTP operation";
        case CURLE_TFTP_UNKNOWNID: return "unknown transfer ID";
        case CURLE_REMOTE_FILE_EXISTS: return "file already exists";
        case CURLE_TFTP_NOSUCHUSER: return "no such user";
        default: return {};
    }
}

using Clock = std::chrono::steady_clock;

struct Transfer {
    std::span<const std::uint8_t> bytes;
    std::size_t sent = 0;  // handed to libcurl
    bool handed_out = false;  // the read reached the end of the file
    Feedback* feedback = nullptr;
    int blocks = 0;
    int shown = 0;  // the last block shown
    std::string server_text;  // the device's error packet, as libcurl logs it
    bool interrupted = false;
    bool answered_data = false;  // the device sent DATA: libcurl would take the send for a download
    // The transfer's socket, the device's address the request went to, and the port that answered it.
    UniqueFd socket;
    sockaddr_storage device{};
    sockaddr_storage peer{};
    bool peer_known = false;
    // The receive time of the last packet read, and of a packet looked at and left for libcurl.
    timespec seen{};
    std::optional<timespec> left_for_libcurl;
    // The per-block limit: the time of the request, or of the last block acknowledged.
    std::chrono::milliseconds block_limit{};
    bool requested = false;
    Clock::time_point last_answer;
    curl_off_t acknowledged = 0;  // bytes sent so far: all blocks before the last are acknowledged
    bool stalled = false;
    bool last_block_answered = false;  // a packet came after the last block went out
};

std::size_t read_bytes(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = std::min(size * count, t.bytes.size() - t.sent);
    std::memcpy(buffer, t.bytes.data() + t.sent, n);
    t.sent += n;
    if (n == 0) t.handed_out = true;
    return n;
}

// libcurl sends the write request right after this.
int request_going_out(void* user, char*, char*, int, int) {
    auto& t = *static_cast<Transfer*>(user);
    t.requested = true;
    t.last_answer = Clock::now();
    return CURL_PREREQFUNC_OK;
}

// Anything received is the device sending a file instead of taking one: refused, never kept.
std::size_t refuse_data(char*, std::size_t, std::size_t, void* user) {
    static_cast<Transfer*>(user)->answered_data = true;
    return 0;
}

curl_socket_t open_socket(void* user, curlsocktype, curl_sockaddr* address) {
    auto& t = *static_cast<Transfer*>(user);
    // An earlier attempt's socket (another address of the host) is closed when libcurl gives it back.
    (void)t.socket.release();
    t.socket.reset(::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol));
    if (address->addrlen <= sizeof t.device) std::memcpy(&t.device, &address->addr, address->addrlen);
    if (t.socket) ::ioctl(t.socket.get(), SIOCGSTAMPNS, &t.seen);  // starts the receive times
    return t.socket ? t.socket.get() : CURL_SOCKET_BAD;
}

// libcurl gives back each socket it is done with; the transfer's own goes with the transfer.
int close_socket(void* user, curl_socket_t socket) {
    auto& t = *static_cast<Transfer*>(user);
    if (socket == t.socket.get()) t.socket.reset();
    else UniqueFd earlier(socket);
    return 0;
}

bool same_host(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family) return false;
    if (a.ss_family == AF_INET) {
        return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in&>(b).sin_addr.s_addr;
    }
    return a.ss_family == AF_INET6 && std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                                                  &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr,
                                                  sizeof(in6_addr)) == 0;
}

int port_of(const sockaddr_storage& a) {
    return ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(a).sin6_port
                                          : reinterpret_cast<const sockaddr_in&>(a).sin_port);
}

// Where the next packet waiting for the transfer comes from, without taking it; false when none waits.
bool next_sender(curl_socket_t socket, sockaddr_storage& from) {
    char byte;
    socklen_t length = sizeof from;
    return ::recvfrom(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &length) >= 0;
}

// The socket's receive time: of the last packet read from it, or looked at.
timespec last_read(curl_socket_t socket) {
    timespec time{};
    ::ioctl(socket, SIOCGSTAMPNS, &time);
    return time;
}

bool same_time(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Looks at the next packet, which stays for libcurl; false when none waits.
bool look(Transfer& t, sockaddr_storage& from) {
    if (!next_sender(t.socket.get(), from)) return false;
    t.left_for_libcurl = last_read(t.socket.get());
    return true;
}

void drop_next(Transfer& t) {
    char byte;
    ::recv(t.socket.get(), &byte, 1, MSG_DONTWAIT);
    t.left_for_libcurl.reset();
    t.seen = last_read(t.socket.get());
}

// Whether libcurl read a packet since the last call: it has that packet still to act on, so this
// call must not wait. A packet read counts as an answer for the per-block limit. The receive
// time tells, but a look sets it as a read does: a packet looked at is read once it is gone.
bool libcurl_read(Transfer& t) {
    if (t.left_for_libcurl) {
        const timespec left = *t.left_for_libcurl;
        t.left_for_libcurl.reset();
        sockaddr_storage from{};
        const bool waiting = look(t, from);
        if (waiting && same_time(*t.left_for_libcurl, left)) return false;
        if (!waiting) t.seen = last_read(t.socket.get());
    } else {
        const timespec time = last_read(t.socket.get());
        if (same_time(time, t.seen)) return false;
        t.seen = time;
    }
    t.last_answer = Clock::now();
    return true;
}

// Waits until a packet is there for libcurl to read, the time is up or the user interrupts (looked
// at every 50 ms); whether a packet is there.
bool wait_for_packet(Transfer& t, Clock::time_point until) {
    while (!t.interrupted) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        pollfd ready{t.socket.get(), POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(std::clamp<long long>(left, 0, 50))) == 1) return true;
        if (left <= 50) return false;
        t.interrupted = t.feedback->interrupts() > 0;
    }
    return false;
}

// The first answer to the request names the device's port for the rest of the transfer, and
// the socket is connected to it so that the system drops packets from any other port; those
// that came before it are dropped here. The first answer is waited for here, so that it is seen
// before libcurl reads it. Only when libcurl read it at once (an answer within microseconds of
// the request, from this machine) is the port taken from the next packet.
void keep_to_the_peer(Transfer& t) {
    sockaddr_storage from{};
    while (!t.peer_known && wait_for_packet(t, t.last_answer + t.block_limit)) {
        if (!look(t, from)) return;
        if (!same_host(from, t.device)) {
            drop_next(t);
            continue;
        }
        t.peer = from;
        t.peer_known = ::connect(t.socket.get(), reinterpret_cast<const sockaddr*>(&from),
                                 from.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in)) == 0;
        if (!t.peer_known) return;
    }
    while (t.peer_known && look(t, from) &&
           !(same_host(from, t.peer) && port_of(from) == port_of(t.peer))) {
        drop_next(t);
    }
}

// Whether the device has not answered within the per-block limit. libcurl's own limits count
// whole seconds and average over a window, and it calls in only about once a second while it
// waits, so the time is kept here and its last second waited here. Not after the last block:
// libcurl may be done, with nothing more to come.
bool out_of_time(Transfer& t) {
    const auto until = t.last_answer + t.block_limit;
    if (until - Clock::now() > std::chrono::seconds(1)) return false;
    if (t.last_block_answered ? Clock::now() < until : wait_for_packet(t, until)) return false;
    t.stalled = !t.interrupted;
    return t.stalled;
}

void show_block(Transfer& t, int block, curl_off_t bytes) {
    t.shown = block;
    t.feedback->log("Sent block " + std::to_string(block) + "/" + std::to_string(t.blocks) + ", " +
                    std::to_string(bytes) + "/" + std::to_string(t.bytes.size()) + " bytes");
    t.feedback->progress_position(block);
}

// A line at every hundredth of the blocks, so that a long file does not flood the status log.
int show_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
    auto& t = *static_cast<Transfer*>(user);
    Feedback& feedback = *t.feedback;
    const auto block_size = static_cast<curl_off_t>(kBlockSize);
    const int block = static_cast<int>(std::min<curl_off_t>((ulnow + block_size - 1) / block_size, t.blocks));
    if (block > t.shown && (block - t.shown >= std::max(1, t.blocks / 100) || block == t.blocks)) {
        show_block(t, block, ulnow);
    }
    t.interrupted = feedback.interrupts() > 0;
    t.acknowledged = ulnow;
    // libcurl goes on waiting after a refused write; nothing more is to come of this transfer.
    if (t.answered_data) return 1;
    if (!t.interrupted && t.requested && t.socket) {
        if (libcurl_read(t)) {
            t.last_block_answered = ulnow == static_cast<curl_off_t>(t.bytes.size());
        } else {
            keep_to_the_peer(t);
            if (out_of_time(t)) return 1;
        }
    }
    return t.interrupted ? 1 : 0;
}

// libcurl logs the text of the device's error packet, and nowhere else keeps it.
// It also tells when the device answered the request with data.
int keep_server_text(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
    if (type != CURLINFO_TEXT) return 0;
    auto& t = *static_cast<Transfer*>(user);
    constexpr std::string_view kPrefix = "TFTP error: ";
    std::string_view text(data, size);
    if (text.starts_with("Connected for receive")) t.answered_data = true;
    if (!text.starts_with(kPrefix)) return 0;
    text.remove_prefix(kPrefix.size());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    t.server_text = printable(text);
    return 0;
}

// An IPv6 address goes in brackets, in a URL as where the user writes it.
std::string host_text(const UpdateAddress& address) {
    return address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
}

std::string url_of(const UpdateAddress& to, const std::string& remote_name, CURL* curl) {
    char* escaped = curl_easy_escape(curl, remote_name.data(), static_cast<int>(remote_name.size()));
    // In a URL the '%' before an IPv6 address's zone is written "%25".
    std::string host = host_text(to);
    if (const auto percent = host.find('%'); percent != std::string::npos) host.insert(percent + 1, "25");
    const std::string url = "tftp://" + host + ":" + std::to_string(to.port) + "/" + (escaped ? escaped : "");
    curl_free(escaped);
    return url;
}

std::string failure(CURLcode code, const Transfer& t, const UpdateAddress& to, const SendLimits& limits,
                    const char* curl_text) {
    if (t.answered_data) return "the device answered with data instead of acknowledgements";
    if (const std::string meaning = refusal(code); !meaning.empty()) {
        return "the device refused the file: " + (t.server_text.empty() ? meaning : t.server_text);
    }
    if (t.stalled || code == CURLE_OPERATION_TIMEDOUT || code == CURLE_COULDNT_CONNECT) {
        if (t.acknowledged == 0) {
            return "no answer from " + address_text(to) + " within " + std::to_string(limits.block.count()) + " s";
        }
        // The block sent last is the one not acknowledged.
        const auto size = static_cast<curl_off_t>(t.bytes.size());
        const auto waiting = t.acknowledged == size ? t.blocks : static_cast<int>(t.acknowledged / kBlockSize);
        return "the device stopped answering at block " + std::to_string(waiting) + " of " +
               std::to_string(t.blocks) + " (time limit " + std::to_string(limits.block.count()) + " s per block, " +
               std::to_string(limits.whole.count()) + " s in all)";
    }
    switch (code) {
        case CURLE_OK:
            return "the transfer ended with " + std::to_string(t.acknowledged) + " of " +
                   std::to_string(t.bytes.size()) + " bytes sent";
        case CURLE_ABORTED_BY_CALLBACK:
            return "stopped by the user; the device may hold part of the file";
        case CURLE_COULDNT_RESOLVE_HOST:
            return "cannot find the host " + printable(to.host);
        default:
            return curl_text[0] ? printable(curl_text) : curl_easy_strerror(code);
    }
}

}  // namespace

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter_or_digit(char c) { return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A host name of labels of letters, digits and inner hyphens, or an IPv4 address in four
// decimal parts: nothing that a URL would read as more than a host.
bool is_name_or_ipv4(const std::string& host) {
    if (host.size() > 253) return false;
    std::size_t start = 0;
    std::string last;
    while (true) {
        const auto dot = host.find('.', start);
        last = host.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (last.empty() || last.size() > 63 || last.front() == '-' || last.back() == '-' ||
            !std::all_of(last.begin(), last.end(), [](char c) { return is_letter_or_digit(c) || c == '-'; })) {
            return false;
        }
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    // A name ends in a label with a letter; one that ends in digits is an address or nothing.
    if (!std::all_of(last.begin(), last.end(), is_digit)) return true;
    in_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1;
}

// An IPv6 address, perhaps with the zone (the interface) of a link-local one after '%'.
bool is_ipv6(const std::string& host) {
    const auto percent = host.find('%');
    const std::string address = host.substr(0, percent);
    if (percent != std::string::npos) {
        const std::string zone = host.substr(percent + 1);
        if (zone.empty() || !std::all_of(zone.begin(), zone.end(), [](char c) {
                return is_letter_or_digit(c) || c == '-' || c == '_' || c == '.';
            })) {
            return false;
        }
    }
    in6_addr parsed{};
    return ::inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
}

}  // namespace

Result<UpdateAddress> parse_update_address(const std::string& text) {
    const auto malformed = [&] {
        return Problem{"expected HOST[:PORT] or [IPv6]:PORT, not '" + printable(text) + "'"};
    };
    UpdateAddress address;
    std::string port_text;
    bool has_port = false;
    if (text.starts_with("[")) {
        const auto close = text.find(']');
        if (close == std::string::npos || close == 1) {
            return malformed();
        }
        address.host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') {
            return malformed();
        }
        has_port = !rest.empty();
        if (has_port) port_text = rest.substr(1);
    } else {
        const auto colon = text.find(':');
        // Two colons or more: an IPv6 address without a port.
        if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
            address.host = text.substr(0, colon);
            port_text = text.substr(colon + 1);
            has_port = true;
        } else {
            address.host = text;
        }
    }
    const bool bracketed = text.starts_with("[");
    if (address.host.find(':') != std::string::npos ? !is_ipv6(address.host)
                                                    : bracketed || !is_name_or_ipv4(address.host)) {
        return malformed();
    }
    if (has_port) {
        const auto port = parse_port(port_text);
        if (!port) {
            return Problem{"bad port '" + printable(port_text) + "' in '" + printable(text) +
                           "': expected a number from 1 to 65535"};
        }
        address.port = *port;
    }
    return address;
}

std::string address_text(const UpdateAddress& address) {
    std::string text = host_text(address);
    if (address.port != kTftpPort) text += ":" + std::to_string(address.port);
    return text;
}

Result<void> send_update_file(const std::string& path, const UpdateAddress& to, const std::string& remote_name,
                              Feedback& feedback, const SendLimits& limits) {
    const auto refused = [&](const std::string& why) { return Problem{input_name(path) + why, std::nullopt, path}; };
    const FileRead read = read_file(path, kUpdateFileLimit);
    if (read.too_large) {
        return refused(" is not a remote update file: it holds more than " + std::to_string(kUpdateFileLimit) +
                       " bytes (" + std::to_string(kUpdateFileLimit >> 20) + " MiB)");
    }
    if (!read.bytes) return refused(": " + read.reason);
    const auto bytes = std::as_bytes(std::span(*read.bytes));
    const std::span<const std::uint8_t> file(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (const auto problem = update_file_problem(file)) {
        return refused(" is not a remote update file: " + *problem);
    }
    const std::string name =
        remote_name.empty() ? std::filesystem::path(path).filename().string() : remote_name;
    if (name.empty() || (path == kStandardStream && remote_name.empty())) {
        return Problem{"no remote file name: give one with --remote-name"};
    }

    // Made before the handle and so outlives it: libcurl gives the socket back to it at the cleanup.
    Transfer t;
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) return Problem{"cannot start a TFTP transfer (libcurl failed to initialise)"};
    t.bytes = file;
    t.feedback = &feedback;
    t.blocks = static_cast<int>(file.size() / kBlockSize + 1);  // the last block is short, perhaps empty
    t.block_limit = limits.block;
    char curl_text[CURL_ERROR_SIZE] = "";
    CURL* c = curl.get();
    const std::string url = url_of(to, name, c);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(file.size()));
    curl_easy_setopt(c, CURLOPT_READFUNCTION, read_bytes);
    curl_easy_setopt(c, CURLOPT_READDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, refuse_data);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, open_socket);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &t);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, close_socket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, &t);
    curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, request_going_out);
    curl_easy_setopt(c, CURLOPT_PREREQDATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, show_progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, keep_server_text);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &t);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, curl_text);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.block.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(limits.whole.count()));

    feedback.log("Sending " + input_name(path) + " (" + std::to_string(file.size()) + " bytes) to " +
                 address_text(to) + " as " + printable(name));
    feedback.progress_range(0, t.blocks);
    feedback.progress_position(0);
    const CURLcode code = curl_easy_perform(c);
    curl_off_t uploaded = 0;
    curl_easy_getinfo(c, CURLINFO_SIZE_UPLOAD_T, &uploaded);
    if (code == CURLE_OK) t.acknowledged = uploaded;
    // Sent only when all of it was handed out and libcurl saw the last block acknowledged.
    const bool whole = code == CURLE_OK && !t.answered_data && t.handed_out &&
                       uploaded == static_cast<curl_off_t>(file.size());
    // The last block's acknowledgement ends the transfer before libcurl reports its bytes.
    if (whole && t.shown < t.blocks) show_block(t, t.blocks, static_cast<curl_off_t>(file.size()));
    feedback.progress_position(0);
    if (!whole) return Problem{failure(code, t, to, limits, curl_text)};
    feedback.log("Sent " + std::to_string(file.size()) + " bytes in " + std::to_string(t.blocks) + " blocks.");
    return {};
}

}  // namespace zyvora
