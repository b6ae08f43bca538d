#include "report.h"

namespace zyvora {

std::uint16_t page_sum(const std::uint8_t* page) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < kPageSize; ++i) sum = static_cast<std::uint16_t>(sum + page[i]);
    return sum;
}

std::string firmware_version_text(std::uint32_t hundredths) {
    const std::uint32_t cents = hundredths % 100;
    return std::to_string(hundredths / 100) + (cents < 10 ? ".0" : ".") + std::to_string(cents);
}

Report make_request(Command command) {
    Report request{};
    request[1] = static_cast<std::uint8_t>(command);
    return request;
}

}  // namespace zyvora
