#include "package.h"

#include <algorithm>
#include <chrono>
#include <random>

#include "xtea.h"
#include "little_endian.h"

namespace zyvora {

namespace {

constexpr std::array<std::uint32_t, 256> make_crc_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr auto kCrcTable = make_crc_table();

}  // namespace

std::uint32_t package_crc(std::span<const std::uint8_t> bytes) {
    std::uint32_t reg = 0xFFFFFFFF;
    for (const std::uint8_t b : bytes) reg = kCrcTable[(reg ^ b) & 0xFF] ^ (reg >> 8);
    return reg;
}

FillerSource time_seeded_filler() {
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    return [generator = std::mt19937(static_cast<std::uint32_t>(now ^ (now >> 32)))]() mutable { return generator(); };
}

std::vector<std::uint8_t> build_package(const Image& image, std::span<const std::uint8_t> firmware,
                                        const FillerSource& filler) {
    std::vector<std::uint8_t> out(kPackageFirmwareOffset + firmware.size(), 0);
    std::copy(firmware.begin(), firmware.end(), out.begin() + kPackageFirmwareOffset);
    std::copy(image.begin(), image.end(), out.begin() + kPackageImageOffset);
    encipher_blocks(std::span(out).subspan(kPackageImageOffset, kImageSize), update_key());
    const std::uint32_t crc = package_crc(std::span(out).subspan(kPackageImageOffset));
    put_le32(out, 0, static_cast<std::uint32_t>(firmware.size()));
    put_le32(out, kPackageCrcOffset, crc);
    for (std::size_t at = kFillerOffset; at < kPackageImageOffset; ++at) {
        out[at] = static_cast<std::uint8_t>(filler() % 255);
    }
    return out;
}

std::optional<std::string> update_file_problem(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kPackageFirmwareOffset) return "it is shorter than the settings it must hold";
    if (kPackageFirmwareOffset + le32(bytes, 0) != bytes.size()) return "its size field does not match its length";
    if (package_crc(bytes.subspan(kPackageImageOffset)) != le32(bytes, kPackageCrcOffset)) {
        return "its CRC does not match its contents";
    }
    return std::nullopt;
}

}  // namespace zyvora
