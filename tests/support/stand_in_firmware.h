#pragma once
// A stand-in firmware image of any size: bytes that read as no text, no settings file or image,
// and are not one value throughout, so the firmware check takes it when its size is whole pages.
#include <cstddef>
#include <string>

namespace zyvora::test {

inline std::string stand_in_firmware(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 ^ i >> 8 ^ 0xA5);
    return bytes;
}

}  // namespace zyvora::test
