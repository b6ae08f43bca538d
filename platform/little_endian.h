#pragma once
// Little-endian numbers in byte buffers: the device's reports, the settings image and the remote
// update package all keep their numbers so. A number that would reach past the buffer's end
// throws std::out_of_range rather than touch what lies beyond.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace zyvora {

namespace little_endian_detail {
inline void check(std::size_t size, std::size_t at, std::size_t bytes) {
    if (at > size || size - at < bytes) throw std::out_of_range("little-endian number past the buffer's end");
}
template <typename Number>
Number get(std::span<const std::uint8_t> buffer, std::size_t at) {
    check(buffer.size(), at, sizeof(Number));
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < sizeof(Number); ++i) value |= static_cast<std::uint32_t>(buffer[at + i]) << (8 * i);
    return static_cast<Number>(value);
}
template <typename Number>
void put(std::span<std::uint8_t> buffer, std::size_t at, Number number) {
    check(buffer.size(), at, sizeof(Number));
    const auto value = static_cast<std::uint32_t>(number);
    for (std::size_t i = 0; i < sizeof(Number); ++i) buffer[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
}  // namespace little_endian_detail

inline std::uint16_t le16(std::span<const std::uint8_t> buffer, std::size_t at) {
    return little_endian_detail::get<std::uint16_t>(buffer, at);
}
inline std::uint32_t le32(std::span<const std::uint8_t> buffer, std::size_t at) {
    return little_endian_detail::get<std::uint32_t>(buffer, at);
}
inline void put_le16(std::span<std::uint8_t> buffer, std::size_t at, std::uint16_t value) {
    little_endian_detail::put(buffer, at, value);
}
inline void put_le32(std::span<std::uint8_t> buffer, std::size_t at, std::uint32_t value) {
    little_endian_detail::put(buffer, at, value);
}

}  // namespace zyvora
