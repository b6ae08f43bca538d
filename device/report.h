#pragma once
// The device's USB HID reports: 65 bytes, report id 0 in byte 0, the command code in byte 1.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "little_endian.h"

namespace zyvora {

constexpr std::size_t kReportSize = 65;
using Report = std::array<std::uint8_t, kReportSize>;

enum class Command : std::uint8_t {
    HardwareVersion = 0xFA,
    FirmwareVersion = 0xFB,
    ReadPage = 0xFC,
    WritePage = 0xFD,
    FirmwarePage = 0xFE,
};

constexpr std::size_t kPageSize = 32;
constexpr std::size_t kSettingsPages = 512;
constexpr std::uint32_t kExpectedFirmwareVersion = 113;
constexpr std::size_t kFirmwareCapacity = 497664;

// Where a page request or reply keeps its page number, its 32 bytes and their sum.
constexpr std::size_t kPageNumberAt = 2;
constexpr std::size_t kPageDataAt = 4;
constexpr std::size_t kPageSumAt = 36;
// Where a reply keeps the firmware version number and the hardware version text.
constexpr std::size_t kPayloadAt = 2;

// The 32 bytes of a page added as unsigned 8-bit values, modulo 65536.
std::uint16_t page_sum(const std::uint8_t* page);

// A firmware version as the device counts it, in hundredths, as people write it: 113 is "1.13".
std::string firmware_version_text(std::uint32_t hundredths);

// A request: report id 0, the command code, every payload byte 0.
Report make_request(Command command);


}  // namespace zyvora
