#include "send_update.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>

#include "files.h"
#include "package.h"

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

struct Transfer {
    std::span<const std::uint8_t> bytes;
    std::size_t sent = 0;  // handed to libcurl
    Feedback* feedback = nullptr;
    int blocks = 0;
    int shown = 0;  // the last block shown
    std::string server_text;  // the device's error packet, as libcurl logs it
    bool interrupted = false;
};

std::size_t read_bytes(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = std::min(size * count, t.bytes.size() - t.sent);
    std::memcpy(buffer, t.bytes.data() + t.sent, n);
    t.sent += n;
    return n;
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
    feedback.process_events();
    t.interrupted = feedback.interrupts() > 0;
    return t.interrupted ? 1 : 0;
}

// libcurl logs the text of the device's error packet, and nowhere else keeps it.
int keep_server_text(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
    if (type != CURLINFO_TEXT) return 0;
    constexpr std::string_view kPrefix = "TFTP error: ";
    std::string_view text(data, size);
    if (!text.starts_with(kPrefix)) return 0;
    text.remove_prefix(kPrefix.size());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    static_cast<Transfer*>(user)->server_text = printable(text);
    return 0;
}

// An IPv6 address goes in brackets, in a URL as where the user writes it.
std::string host_text(const UpdateAddress& address) {
    return address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host;
}

std::string url_of(const UpdateAddress& to, const std::string& remote_name, CURL* curl) {
    char* escaped = curl_easy_escape(curl, remote_name.data(), static_cast<int>(remote_name.size()));
    const std::string url = "tftp://" + host_text(to) + ":" + std::to_string(to.port) + "/" + (escaped ? escaped : "");
    curl_free(escaped);
    return url;
}

std::string failure(CURLcode code, const Transfer& t, const UpdateAddress& to, const SendLimits& limits,
                    const char* curl_text) {
    if (const std::string meaning = refusal(code); !meaning.empty()) {
        return "the device refused the file: " + (t.server_text.empty() ? meaning : t.server_text);
    }
    switch (code) {
        case CURLE_ABORTED_BY_CALLBACK:
            return "stopped by the user; the device may hold part of the file";
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_COULDNT_CONNECT:
            if (t.sent == 0 || t.shown == 0) {
                return "no answer from " + address_text(to) + " within " + std::to_string(limits.block.count()) + " s";
            }
            return "the device stopped answering at block " + std::to_string(t.shown + 1) + " of " +
                   std::to_string(t.blocks) + " (time limit " + std::to_string(limits.block.count()) + " s per block, " +
                   std::to_string(limits.whole.count()) + " s in all)";
        case CURLE_COULDNT_RESOLVE_HOST:
            return "cannot find the host " + printable(to.host);
        default:
            return curl_text[0] ? printable(curl_text) : curl_easy_strerror(code);
    }
}

}  // namespace

std::optional<UpdateAddress> parse_update_address(const std::string& text, std::string* why) {
    const auto malformed = [&]() -> std::optional<UpdateAddress> {
        *why = "expected HOST[:PORT] or [IPv6]:PORT, not '" + printable(text) + "'";
        return std::nullopt;
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
    if (address.host.empty() ||
        std::any_of(address.host.begin(), address.host.end(), [](unsigned char c) { return c <= ' ' || c == '/'; })) {
        return malformed();
    }
    if (has_port) {
        const auto port = parse_port(port_text);
        if (!port) {
            *why = "bad port '" + printable(port_text) + "' in '" + printable(text) + "': expected a number from 1 to 65535";
            return std::nullopt;
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

SendOutcome send_update_file(const std::string& path, const UpdateAddress& to, const std::string& remote_name,
                             Feedback& feedback, const SendLimits& limits) {
    const FileRead read = read_file(path, kUpdateFileLimit);
    if (read.too_large) {
        return {false, input_name(path) + " is not a remote update file: it holds more than " +
                           std::to_string(kUpdateFileLimit) + " bytes (" +
                           std::to_string(kUpdateFileLimit >> 20) + " MiB)"};
    }
    if (!read.bytes) return {false, input_name(path) + ": " + read.reason};
    const auto bytes = std::as_bytes(std::span(*read.bytes));
    const std::span<const std::uint8_t> file(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (const auto problem = update_file_problem(file)) {
        return {false, input_name(path) + " is not a remote update file: " + *problem};
    }
    const std::string name =
        remote_name.empty() ? std::filesystem::path(path).filename().string() : remote_name;
    if (name.empty() || (path == kStandardStream && remote_name.empty())) {
        return {false, "no remote file name: give one with --remote-name"};
    }

    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) return {false, "cannot start a TFTP transfer (libcurl failed to initialise)"};
    Transfer t;
    t.bytes = file;
    t.feedback = &feedback;
    t.blocks = static_cast<int>(file.size() / kBlockSize + 1);  // the last block is short, perhaps empty
    char curl_text[CURL_ERROR_SIZE] = "";
    CURL* c = curl.get();
    const std::string url = url_of(to, name, c);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(file.size()));
    curl_easy_setopt(c, CURLOPT_READFUNCTION, read_bytes);
    curl_easy_setopt(c, CURLOPT_READDATA, &t);
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
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.block.count()));

    feedback.log("Sending " + input_name(path) + " (" + std::to_string(file.size()) + " bytes) to " +
                 address_text(to) + " as " + printable(name));
    feedback.progress_range(0, t.blocks);
    feedback.progress_position(0);
    const CURLcode code = curl_easy_perform(c);
    // The last block's acknowledgement ends the transfer before libcurl reports its bytes.
    if (code == CURLE_OK && t.shown < t.blocks) show_block(t, t.blocks, static_cast<curl_off_t>(file.size()));
    feedback.progress_position(0);
    if (code != CURLE_OK) return {false, failure(code, t, to, limits, curl_text)};
    feedback.log("Sent " + std::to_string(file.size()) + " bytes in " + std::to_string(t.blocks) + " blocks.");
    return {true, {}};
}

}  // namespace zyvora
