#include "link.h"

#include <algorithm>
#include <cstring>

namespace zyvora {

namespace {

constexpr int kWhole = static_cast<int>(kReportSize);

Report page_request(Command command, std::uint16_t page) {
    Report request = make_request(command);
    put_le16(request, kPageNumberAt, page);
    return request;
}

Report page_write_request(Command command, std::uint16_t page, const std::uint8_t* data) {
    Report request = page_request(command, page);
    std::memcpy(request.data() + kPageDataAt, data, kPageSize);
    put_le16(request, kPageSumAt, page_sum(data));
    return request;
}

}  // namespace

bool DeviceLink::exchange(const Report& request, Report& reply) {
    // A reply that fails comes back cleared, so no caller can take stale bytes for an answer.
    reply.fill(0);
    sent_ = transport_.write(request) == kWhole;
    if (!sent_) return false;
    if (transport_.read(reply) != kWhole) return false;
    return reply[1] == request[1];
}

std::optional<std::uint32_t> DeviceLink::firmware_version() {
    Report reply;
    if (!exchange(make_request(Command::FirmwareVersion), reply)) return std::nullopt;
    return le32(reply, kPayloadAt);
}

std::optional<std::string> DeviceLink::hardware_version() {
    Report reply;
    if (!exchange(make_request(Command::HardwareVersion), reply)) return std::nullopt;
    // The text ends at its NUL or at the end of the report, whichever comes first.
    const auto begin = reply.begin() + kPayloadAt;
    return std::string(begin, std::find(begin, reply.end(), std::uint8_t{0}));
}

bool DeviceLink::write_settings_page(std::uint16_t page, const std::uint8_t* data) {
    Report reply;
    return exchange(page_write_request(Command::WritePage, page, data), reply);
}

bool DeviceLink::read_settings_page(std::uint16_t page, std::uint8_t* data) {
    Report reply;
    if (!exchange(page_request(Command::ReadPage, page), reply)) return false;
    const std::uint8_t* got = reply.data() + kPageDataAt;
    if (page_sum(got) != le16(reply, kPageSumAt)) return false;
    std::memcpy(data, got, kPageSize);
    return true;
}

bool DeviceLink::write_firmware_page(std::uint16_t page, const std::uint8_t* data) {
    Report reply;
    return exchange(page_write_request(Command::FirmwarePage, page, data), reply);
}

std::optional<DeviceVersions> DeviceLink::versions() {
    const std::optional<std::uint32_t> firmware = firmware_version();
    if (!firmware) return std::nullopt;
    std::optional<std::string> hardware = hardware_version();
    if (!hardware) return std::nullopt;
    return DeviceVersions{*firmware, std::move(*hardware)};
}

}  // namespace zyvora
