#pragma once
// The remote update file: S (the firmware size) and the package CRC, 504 filler bytes, the
// enciphered settings image, then the firmware as stored. All numbers little-endian.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image.h"

namespace zyvora {

constexpr std::size_t kPackageCrcOffset = 4;
constexpr std::size_t kFillerOffset = 8;
constexpr std::size_t kPackageImageOffset = 512;
constexpr std::size_t kPackageFirmwareOffset = kPackageImageOffset + kImageSize;  // 16896

// The reflected CRC-32 register (polynomial 0xEDB88320, start 0xFFFFFFFF) after the last byte,
// without the final inversion: the one's complement of the standard CRC-32.
std::uint32_t package_crc(std::span<const std::uint8_t> bytes);

// Raw numbers for the filler; each filler byte is one of them modulo 255. The device does not
// read the filler, so any generator will do.
using FillerSource = std::function<std::uint32_t()>;
// A generator seeded from the current time.
FillerSource time_seeded_filler();

// The whole file for `image` (the outgoing image, not yet enciphered) and `firmware`.
std::vector<std::uint8_t> build_package(const Image& image, std::span<const std::uint8_t> firmware,
                                        const FillerSource& filler);

// Nullopt when `bytes` are a remote update file (its size field matches its length and its CRC
// its contents), else what is wrong, as a reason after "not a remote update file: ".
std::optional<std::string> update_file_problem(std::span<const std::uint8_t> bytes);

}  // namespace zyvora
