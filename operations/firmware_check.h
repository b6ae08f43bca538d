#pragma once
// A file offered as firmware is checked before the device or a remote update file gets it. The
// image is enciphered and opaque, so only what it plainly is not can be told: random bytes or
// another device's image of whole pages, or an image cut on a page boundary, pass.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "feedback.h"
#include "firmware.h"
#include "outcome.h"

namespace zyvora {

// Whether `bytes` may be a firmware image; when not, the message is the reason that follows
// "is not a firmware image: ".
Result<void> check_firmware_image(std::span<const std::uint8_t> bytes);

// The image `firmware` holds, loaded and checked: nullopt after an information box that says why
// it is refused ("fw.bin is not a firmware image: it is text").
std::optional<std::vector<std::uint8_t>> checked_firmware(const FirmwareStore& firmware, Feedback& feedback);

// What is about to be sent, for the status log: "Firmware from fw.bin: 1024 bytes in 32 pages".
std::string firmware_summary(const FirmwareStore& firmware, std::size_t bytes);

}  // namespace zyvora
