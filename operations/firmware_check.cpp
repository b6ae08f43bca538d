#include "firmware_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "files.h"
#include "image.h"
#include "package.h"
#include "report.h"

namespace zyvora {

namespace {

// Every settings file opens with its "[!WARNING]" section, after a byte order mark at most.
bool reads_as_settings_file(std::span<const std::uint8_t> bytes) {
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const auto start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return false;
    constexpr std::string_view header = "[!warning]";
    text = text.substr(start, header.size());
    return std::equal(text.begin(), text.end(), header.begin(), header.end(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// A settings image, also one whose checksum no longer holds: its end marker is where a settings
// image has it (one chance in 16 million for an enciphered image of that size).
bool reads_as_settings_image(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kImageSize) return false;
    Image image;
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return verify(image) || std::string_view(reinterpret_cast<const char*>(image.data()) + kEndOffset, 3) == "END";
}

// Text: at least 95 in 100 bytes printable ASCII, white space or UTF-8 characters. An enciphered
// image has about 37 in 100 printable by chance; one with readable strings among its code too
// few to pass for text.
bool reads_as_text(std::span<const std::uint8_t> bytes) {
    std::size_t text = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::uint8_t c = bytes[at];
        if ((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            ++text;
            ++at;
        } else if (const std::size_t length = utf8_length(std::string_view(
                       reinterpret_cast<const char*>(bytes.data()) + at, bytes.size() - at))) {
            text += length;
            at += length;
        } else {
            ++at;
        }
    }
    return text * 100 >= bytes.size() * 95;
}

}  // namespace

Result<void> check_firmware_image(std::span<const std::uint8_t> bytes) {
    if (reads_as_settings_file(bytes)) return Problem{"it is a settings file"};
    if (reads_as_settings_image(bytes)) return Problem{"it is a settings image"};
    if (!update_file_problem(bytes)) return Problem{"it is a remote update file"};
    if (reads_as_text(bytes)) return Problem{"it is text"};
    // An erased or zeroed file: an enciphered image never holds one byte throughout.
    if (!bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == bytes.front(); })) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", bytes.front());
        return Problem{std::string("every byte is ") + byte};
    }
    // The device takes firmware a page at a time and the image it is made for is whole pages:
    // one that ends inside a page was cut short, as a broken pipe leaves it.
    if (bytes.size() % kPageSize != 0) {
        return Problem{"its " + std::to_string(bytes.size()) + " bytes are not a whole number of " +
                       std::to_string(kPageSize) + "-byte pages; it may be cut short"};
    }
    return {};
}

std::optional<std::vector<std::uint8_t>> checked_firmware(const FirmwareStore& firmware, Feedback& feedback) {
    auto image = firmware.load(feedback);
    if (!image) return std::nullopt;
    if (const auto checked = check_firmware_image(*image); !checked) {
        const auto name = firmware.file_name();
        feedback.info((name ? *name : std::string("The firmware built into this program")) +
                      " is not a firmware image: " + checked.message());
        return std::nullopt;
    }
    return image;
}

std::string firmware_summary(const FirmwareStore& firmware, std::size_t bytes) {
    const auto name = firmware.file_name();
    const std::size_t pages = (bytes + kPageSize - 1) / kPageSize;
    return (name ? "Firmware from " + *name : std::string("Firmware built into this program")) + ": " +
           std::to_string(bytes) + " bytes in " + std::to_string(pages) + (pages == 1 ? " page" : " pages");
}

}  // namespace zyvora
