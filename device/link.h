#pragma once
// Requests and replies over an open device: one exchange per command, never retried.
#include <cstdint>
#include <optional>
#include <string>

#include "report.h"
#include "transport.h"

namespace zyvora {

// What the device says it runs.
struct DeviceVersions {
    std::uint32_t firmware = 0;  // in hundredths
    std::string hardware;        // the device's own text, unescaped
};

class DeviceLink {
public:
    explicit DeviceLink(Transport& transport) : transport_(transport) {}

    // Writes `request` (byte 0 = 0, byte 1 = command) and reads one reply: true when 65 bytes
    // went out, 65 came back and reply byte 1 echoes the command.
    bool exchange(const Report& request, Report& reply);
    // Whether the last exchange's request went out whole: when it did not, the device never got it.
    bool last_request_sent() const { return sent_; }

    std::optional<std::uint32_t> firmware_version();
    std::optional<std::string> hardware_version();
    // Both versions, the firmware's asked first; nullopt when either query fails.
    std::optional<DeviceVersions> versions();
    bool write_settings_page(std::uint16_t page, const std::uint8_t* data);
    // Fills `data` (32 bytes) when the reply's page sum is right.
    bool read_settings_page(std::uint16_t page, std::uint8_t* data);
    bool write_firmware_page(std::uint16_t page, const std::uint8_t* data);

private:
    Transport& transport_;
    bool sent_ = false;
};

}  // namespace zyvora
