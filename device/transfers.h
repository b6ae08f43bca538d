#pragma once
// Page transfers and device queries, with their status log lines and progress bar.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "feedback.h"
#include "link.h"
#include "report.h"

namespace zyvora {

// Asked before each page (from 0) of a transfer: false stops it there, with nothing logged, so
// that the caller says why. No gate: every page goes.
using PageGate = std::function<bool(int page)>;

// The device's settings pages back to back, page N at N * kPageSize: what the transfers move,
// whatever the bytes mean.
using SettingsPages = std::span<const std::uint8_t, kSettingsPages * kPageSize>;
using SettingsPagesInto = std::span<std::uint8_t, kSettingsPages * kPageSize>;

// 512 page writes of `pages`: "Page written: N/512" per page, "Eeprom write success" at the
// end, or "Page write error: N/512" and stop. True when every page was written.
bool write_settings(DeviceLink& link, SettingsPages pages, Feedback& feedback, const PageGate& gate = {});

// 512 page reads into `pages`: "Page read: N/512" per page or "Page read error: N/512" and stop;
// the pages not read keep what `pages` held. True when every page was read; otherwise
// `failed_page`, when given, takes the number (from 0) of the page that failed.
bool read_settings(DeviceLink& link, SettingsPagesInto pages, Feedback& feedback, int* failed_page = nullptr,
                   const PageGate& gate = {});

// "Firmware version: %.2f" and "\r\nHardware version: %s" in one plain message, the device's
// text escaped as printable() does; false, with nothing shown, when a query fails. `shown`, when
// given, takes the versions.
bool show_versions(DeviceLink& link, Feedback& feedback, DeviceVersions* shown = nullptr);

// The firmware pages in order from 0, the last padded with zeros; "Firmware upgrade success" at
// the end. `firmware` is at most kFirmwareCapacity bytes (the store refuses larger ones).
bool upload_firmware(DeviceLink& link, const std::vector<std::uint8_t>& firmware, Feedback& feedback,
                     const PageGate& gate = {});

}  // namespace zyvora
