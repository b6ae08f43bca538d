#pragma once
// The firmware image compiled into this build, if one was given at configure time.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zyvora {

struct EmbeddedFirmware {
    const std::uint8_t* data;
    std::size_t size;
};

std::optional<EmbeddedFirmware> embedded_firmware();

}  // namespace zyvora
