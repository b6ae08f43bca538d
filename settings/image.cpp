#include "image.h"

#include "intparse.h"
#include "little_endian.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace zyvora {

void begin_frame(Image& image) {
    image.fill(0);
    std::copy(kVersionTag.begin(), kVersionTag.end(), image.begin() + kVersionOffset);
}

std::uint32_t image_sum(const Image& image) {
    std::uint32_t sum = 0;
    for (std::size_t i = 4; i < kUsedEnd; ++i) sum += image[i];
    return sum;
}

std::uint32_t stored_checksum(const Image& image) {
    return le32(image, 0);
}

void finish_frame(Image& image, std::uint16_t nonce) {
    image[kEndOffset] = 'E';
    image[kEndOffset + 1] = 'N';
    image[kEndOffset + 2] = 'D';
    put_u16(image, kNonceOffset, nonce);
    const std::uint32_t sum = image_sum(image);
    put_le32(image, 0, sum);
}

bool verify(const Image& image) {
    return image_sum(image) == stored_checksum(image) && image[kEndOffset] == 'E' &&
           image[kEndOffset + 1] == 'N' && image[kEndOffset + 2] == 'D';
}

bool version_matches(const Image& image) {
    for (std::size_t i = 0; i < kVersionTag.size(); ++i) {
        if (image[kVersionOffset + i] != static_cast<std::uint8_t>(kVersionTag[i])) return false;
    }
    return true;
}

std::string stored_version(const Image& image) {
    // Bytes 6..12: byte 13 counts as the terminator, so the tag reads as at most seven characters.
    return get_text(image, kVersionOffset, 7);
}

std::string version_mismatch_message(const Image& image) {
    const std::string stored = stored_version(image);
    return "Uncompatible configuration version:\nDevice: " + stored + "\nConfigurator: " +
           std::string(kVersionTag) + "\n\nYou need to use Configurator " + stored +
           " or write new configuration using \"Write config\" button.";
}

std::uint16_t draw_nonce() {
    static std::mt19937 generator{std::random_device{}()};
    return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(0, 9999)(generator));
}

void put_u16(Image& image, std::size_t offset, std::uint16_t value) { put_le16(image, offset, value); }

std::uint16_t get_u16(const Image& image, std::size_t offset) { return le16(image, offset); }

void put_i32(Image& image, std::size_t offset, std::int32_t value) {
    put_le32(image, offset, static_cast<std::uint32_t>(value));
}

std::int32_t get_i32(const Image& image, std::size_t offset) { return static_cast<std::int32_t>(le32(image, offset)); }

void put_text(Image& image, std::size_t offset, std::size_t capacity, std::string_view text) {
    if (capacity == 0 || offset + capacity > image.size()) return;
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::copy_n(text.begin(), n, image.begin() + offset);
    image[offset + n] = 0;
}

std::string get_text(const Image& image, std::size_t offset, std::size_t capacity) {
    std::string text;
    for (std::size_t i = offset; i < offset + capacity && i < image.size() && image[i] != 0; ++i) {
        text.push_back(static_cast<char>(image[i]));
    }
    return text;
}

namespace {

bool digits(std::string_view text, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

// DDMM.MMH (degree_digits 2) or DDDMM.MMH (3): the packed value with the sign of `negative_letter`.
std::optional<std::int32_t> pack_coordinate(std::string_view text, std::size_t degree_digits,
                                            char positive_letter, char negative_letter,
                                            std::int32_t max) {
    const std::size_t dot = degree_digits + 2;
    if (text.size() != dot + 4) return std::nullopt;
    if (!digits(text, 0, dot) || text[dot] != '.' || !digits(text, dot + 1, dot + 3)) return std::nullopt;
    const char letter = text[dot + 3];
    if (letter != positive_letter && letter != negative_letter) return std::nullopt;
    std::int32_t v = 0;
    for (std::size_t i = 0; i < dot + 3; ++i) {
        if (i != dot) v = v * 10 + (text[i] - '0');
    }
    if (v > max || v % 10000 >= 6000) return std::nullopt;
    return letter == negative_letter ? -v : v;
}

std::string coordinate_text(std::int32_t packed, int whole_digits, char positive_letter,
                            char negative_letter) {
    // Widened so that any decoded 32-bit value, the most negative included, has a magnitude.
    const std::int64_t wide = packed;
    const std::int64_t magnitude = wide < 0 ? -wide : wide;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld.%02lld%c", whole_digits,
                  static_cast<long long>(magnitude / 100), static_cast<long long>(magnitude % 100),
                  wide < 0 ? negative_letter : positive_letter);
    return buffer;
}

}  // namespace

std::optional<std::int32_t> pack_latitude(std::string_view text) {
    return pack_coordinate(text, 2, 'N', 'S', 895999);
}

std::optional<std::int32_t> pack_longitude(std::string_view text) {
    return pack_coordinate(text, 3, 'W', 'E', 1795999);
}

std::string latitude_text(std::int32_t packed) { return coordinate_text(packed, 4, 'N', 'S'); }

std::string longitude_text(std::int32_t packed) { return coordinate_text(packed, 5, 'W', 'E'); }

void put_call(Image& image, std::size_t offset, std::string_view call) {
    for (std::size_t i = 0; i < 6; ++i) {
        char c = i < call.size() ? call[i] : ' ';
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        image.at(offset + i) = static_cast<std::uint8_t>(c);
    }
}

std::optional<int> parse_ssid(std::string_view text) {
    const auto v = try_parse_int(text);
    if (!v || *v < 0 || *v > 15) return std::nullopt;
    return *v;
}

CallsignText get_callsign_field(const Image& image, std::size_t offset) {
    std::string call = get_text(image, offset, 6);
    while (!call.empty() && call.back() == ' ') call.pop_back();
    return {call, std::to_string(static_cast<std::uint8_t>(image.at(offset + 6) - '0'))};
}

}  // namespace zyvora
