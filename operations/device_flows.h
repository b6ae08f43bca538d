#pragma once
// The device command flows behind "Read config", "Write config" and "Upload firmware", and the
// version query of the CLI's `info`.
#include <functional>

#include "clock.h"
#include "controls.h"
#include "feedback.h"
#include "firmware.h"
#include "image.h"
#include "registry.h"
#include "transport.h"

namespace zyvora {

// Reads the device's image into `incoming`, verifies and decodes it into the controls, logs
// "Eeprom read success." and shows the versions. The controls change only when the checksum
// and the version tag pass.
bool read_config(DevicePort& port, const Registry& registry, ControlStore& store, Image& incoming,
                 Feedback& feedback);

// Encodes the controls (after the PC time fill when asked) into `outgoing` and writes it to a
// device that reports the expected firmware version. Nothing touches the device when a check fails.
bool write_config(DevicePort& port, const Registry& registry, ControlStore& store, Image& outgoing,
                  Feedback& feedback, const Clock& clock = system_local_time);

// Sends the carried firmware to the device. `enable_buttons(false)` before the upload and
// `enable_buttons(true)` after it, whatever the outcome.
bool upload_firmware_flow(DevicePort& port, const FirmwareStore& firmware, Feedback& feedback,
                          const std::function<void(bool)>& enable_buttons = {});

// Opens the device and shows its firmware and hardware versions.
bool show_device_versions(DevicePort& port, Feedback& feedback);

// The start-up settings as a device fresh from the factory holds them.
Image factory_image(const Registry& registry);

}  // namespace zyvora
