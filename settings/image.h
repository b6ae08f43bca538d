#pragma once
// The 16384-byte settings image the device keeps in its EEPROM, its frame and field codecs.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zyvora {

constexpr std::size_t kImageSize = 16384;
constexpr std::size_t kUsedEnd = 2708;  // bytes 0..2707 are the used region
constexpr std::size_t kNonceOffset = 4;
constexpr std::size_t kVersionOffset = 6;
constexpr std::size_t kEndOffset = 2705;
constexpr std::string_view kVersionTag = "v1.13";

using Image = std::array<std::uint8_t, kImageSize>;

// Frame: clear the image and write the version tag; then, after the fields, the end marker,
// the write nonce and the checksum.
void begin_frame(Image& image);
void finish_frame(Image& image, std::uint16_t nonce);
std::uint32_t image_sum(const Image& image);  // bytes 4..2707, modulo 2^32
std::uint32_t stored_checksum(const Image& image);
bool verify(const Image& image);  // checksum and "END"
bool version_matches(const Image& image);
std::string stored_version(const Image& image);  // at most 7 characters, up to a NUL
std::string version_mismatch_message(const Image& image);

// A fresh write nonce, 0..9999, from a properly seeded generator.
std::uint16_t draw_nonce();

// Little-endian numbers.
void put_u16(Image& image, std::size_t offset, std::uint16_t value);
std::uint16_t get_u16(const Image& image, std::size_t offset);
void put_i32(Image& image, std::size_t offset, std::int32_t value);
std::int32_t get_i32(const Image& image, std::size_t offset);

// Text of `capacity` bytes: the text, cut to capacity - 1 bytes, and a NUL. Bytes after the NUL
// stay as they are (zero in an image being encoded).
void put_text(Image& image, std::size_t offset, std::size_t capacity, std::string_view text);
// The text up to the first NUL, at most `capacity` bytes.
std::string get_text(const Image& image, std::size_t offset, std::size_t capacity);

// Latitude DDMM.MMH and longitude DDDMM.MMH: syntax check and packing in one step.
std::optional<std::int32_t> pack_latitude(std::string_view text);
std::optional<std::int32_t> pack_longitude(std::string_view text);
std::string latitude_text(std::int32_t packed);
std::string longitude_text(std::int32_t packed);

// The six call-sign bytes of a callsign field: upper-cased, cut to six, padded with spaces.
void put_call(Image& image, std::size_t offset, std::string_view call);
// SSID number of a callsign field's SSID text, if it is a whole number 0..15.
std::optional<int> parse_ssid(std::string_view text);
inline std::uint8_t ssid_char(int ssid) { return static_cast<std::uint8_t>('0' + ssid); }

// A callsign field as its controls show it: the call (bytes 0..5) and the SSID (byte 6).
struct CallsignText {
    std::string call;  // trailing spaces removed
    std::string ssid;  // byte 6 minus '0', in decimal
};
CallsignText get_callsign_field(const Image& image, std::size_t offset);

}  // namespace zyvora
