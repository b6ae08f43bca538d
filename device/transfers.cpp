#include "transfers.h"

#include <algorithm>
#include <array>
#include <string>

#include "files.h"

namespace zyvora {

namespace {

constexpr int kPages = static_cast<int>(kSettingsPages);

std::string counted(const char* what, int number, int total) {
    return what + std::to_string(number) + "/" + std::to_string(total);
}

void start_progress(Feedback& feedback, int maximum) {
    feedback.progress_position(0);
    feedback.progress_range(0, maximum);
}

}  // namespace

bool write_settings(DeviceLink& link, SettingsPages pages, Feedback& feedback, const PageGate& gate) {
    start_progress(feedback, kPages);
    for (int p = 0; p < kPages; ++p) {
        if (gate && !gate(p)) return false;
        if (!link.write_settings_page(static_cast<std::uint16_t>(p), pages.data() + p * kPageSize)) {
            feedback.log(counted("Page write error: ", p + 1, kPages));
            return false;
        }
        feedback.log(counted("Page written: ", p + 1, kPages));
        feedback.progress_position(p + 1);
    }
    feedback.log("Eeprom write success");
    feedback.progress_position(0);
    return true;
}

bool read_settings(DeviceLink& link, SettingsPagesInto pages, Feedback& feedback, int* failed_page,
                   const PageGate& gate) {
    start_progress(feedback, kPages);
    for (int p = 0; p < kPages; ++p) {
        if (gate && !gate(p)) return false;
        if (!link.read_settings_page(static_cast<std::uint16_t>(p), pages.data() + p * kPageSize)) {
            feedback.log(counted("Page read error: ", p + 1, kPages));
            if (failed_page) *failed_page = p;
            return false;
        }
        feedback.log(counted("Page read: ", p + 1, kPages));
        feedback.progress_position(p + 1);
    }
    feedback.progress_position(0);
    return true;
}

bool show_versions(DeviceLink& link, Feedback& feedback, DeviceVersions* shown) {
    const std::optional<DeviceVersions> versions = link.versions();
    if (!versions) return false;
    if (shown) *shown = *versions;
    // The device's text, escaped here so that no front end shows its line breaks or escape sequences.
    feedback.message("Firmware version: " + firmware_version_text(versions->firmware) +
                     "\r\nHardware version: " + printable(versions->hardware));
    return true;
}

bool upload_firmware(DeviceLink& link, const std::vector<std::uint8_t>& firmware, Feedback& feedback,
                     const PageGate& gate) {
    // Page numbers travel as 16 bits; the store never hands over more than fits the device.
    if (firmware.size() > kFirmwareCapacity) {
        feedback.info("Firmware file too long.");
        return false;
    }
    const int pages = static_cast<int>((firmware.size() + kPageSize - 1) / kPageSize);
    start_progress(feedback, pages);
    for (int p = 0; p < pages; ++p) {
        if (gate && !gate(p)) return false;
        std::array<std::uint8_t, kPageSize> page{};
        const std::size_t from = p * kPageSize;
        std::copy_n(firmware.begin() + from, std::min(kPageSize, firmware.size() - from), page.begin());
        if (!link.write_firmware_page(static_cast<std::uint16_t>(p), page.data())) {
            feedback.log(counted("Page write error: ", p + 1, pages));
            return false;
        }
        feedback.log(counted("Page written: ", p + 1, pages));
        feedback.progress_position(p + 1);
    }
    feedback.outcome("Firmware upgrade success");
    feedback.progress_position(0);
    return true;
}

}  // namespace zyvora
