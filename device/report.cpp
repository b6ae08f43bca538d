#include "report.h"

namespace zyvora {

std::uint16_t page_sum(const std::uint8_t* page) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < kPageSize; ++i) sum = static_cast<std::uint16_t>(sum + page[i]);
    return sum;
}

Report make_request(Command command) {
    Report request{};
    request[1] = static_cast<std::uint8_t>(command);
    return request;
}

void put_le16(Report& report, std::size_t offset, std::uint16_t value) {
    report.at(offset) = static_cast<std::uint8_t>(value);
    report.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void put_le32(Report& report, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) report.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint16_t le16(const Report& report, std::size_t offset) {
    return static_cast<std::uint16_t>(report.at(offset) | report.at(offset + 1) << 8);
}

std::uint32_t le32(const Report& report, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(report.at(offset + i)) << (8 * i);
    return value;
}

}  // namespace zyvora
