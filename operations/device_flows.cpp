#include "device_flows.h"

#include <cstdio>

#include "link.h"
#include "operations.h"
#include "passes.h"
#include "transfers.h"

namespace zyvora {

namespace {

std::string firmware_mismatch_message(std::optional<std::uint32_t> device) {
    char text[256];
    // A device that does not answer the query shows as "unknown" rather than a made-up number.
    char device_text[32] = "unknown";
    if (device) std::snprintf(device_text, sizeof device_text, "%.2f", *device * 0.01);
    std::snprintf(text, sizeof text,
                  "Uncompatible firmware version:\nDevice: %s\nConfigurator: %0.2f\n\n"
                  "You need to upload new firmware using \"Upload firmware\" button.",
                  device_text, kExpectedFirmwareVersion * 0.01);
    return text;
}

}  // namespace

bool read_config(DevicePort& port, const Registry& registry, ControlStore& store, Image& incoming,
                 Feedback& feedback) {
    incoming.fill(0);
    int failed_page = -1;
    {
        const auto device = port.open(feedback);
        if (!device) return false;
        DeviceLink link(*device);
        read_settings(link, incoming, feedback, &failed_page);
    }
    // The settings lie in the first pages; an image that verifies lost nothing of them.
    if (!verify_and_decode(registry, store, incoming, feedback)) return false;
    feedback.log("Eeprom read success.");
    if (failed_page >= 0) {
        feedback.warning("Read config: page " + std::to_string(failed_page + 1) + "/" +
                         std::to_string(kSettingsPages) +
                         " and the pages after it could not be read; they lie after the settings, which were read whole.");
    }
    if (const auto device = port.open(feedback)) {
        DeviceLink link(*device);
        show_versions(link, feedback);
    }
    return true;
}

bool write_config(DevicePort& port, const Registry& registry, ControlStore& store, Image& outgoing,
                  Feedback& feedback, const Clock& clock) {
    if (!encode_settings(registry, store, outgoing, feedback, false, clock)) return false;
    const auto device = port.open(feedback);
    if (!device) return false;
    DeviceLink link(*device);
    const auto version = link.firmware_version();
    if (version != kExpectedFirmwareVersion) {
        feedback.info(firmware_mismatch_message(version));
        return false;
    }
    return write_settings(link, outgoing, feedback);
}

bool upload_firmware_flow(DevicePort& port, const FirmwareStore& firmware, Feedback& feedback,
                          const std::function<void(bool)>& enable_buttons) {
    const auto device = port.open(feedback);
    if (!device) return false;
    if (enable_buttons) enable_buttons(false);
    bool ok = false;
    if (const auto image = firmware.load(feedback)) {
        DeviceLink link(*device);
        ok = upload_firmware(link, *image, feedback);
    }
    if (enable_buttons) enable_buttons(true);
    return ok;
}

bool show_device_versions(DevicePort& port, Feedback& feedback) {
    const auto device = port.open(feedback);
    if (!device) return false;
    DeviceLink link(*device);
    return show_versions(link, feedback);
}

Image factory_image(const Registry& registry) {
    ControlStore store = registry.make_store();
    registry.settle(store);
    pc_time_fill(store, system_local_time());
    Image image{};
    encode(registry, store, image);
    return image;
}

}  // namespace zyvora
