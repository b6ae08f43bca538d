#pragma once
// "Build remote update file": the settings and the firmware in one package the device takes
// over the network.
#include <functional>
#include <optional>
#include <string>

#include "clock.h"
#include "controls.h"
#include "feedback.h"
#include "firmware.h"
#include "image.h"
#include "package.h"
#include "registry.h"

namespace zyvora {

inline constexpr const char* kDestinationError = "Could not open destination file.";
inline constexpr const char* kDestinationErrorCaption = "File open error";

// Asked once the settings are encoded; nullopt when the user cancels.
using DestinationChooser = std::function<std::optional<std::string>()>;

// The PC time fill when asked and the encode pass into `image`, the destination, the firmware,
// then the package written beside the destination and renamed over it. On any failure the
// destination is left as it was. An empty `filler` draws from a time-seeded generator.
bool build_remote_update_file(const Registry& registry, ControlStore& store, Image& image,
                              const FirmwareStore& firmware, const DestinationChooser& choose_destination,
                              Feedback& feedback, const Clock& clock = system_local_time,
                              const FillerSource& filler = {});

bool build_remote_update_file(const Registry& registry, ControlStore& store, Image& image,
                              const FirmwareStore& firmware, const std::string& destination, Feedback& feedback,
                              const Clock& clock = system_local_time, const FillerSource& filler = {});

}  // namespace zyvora
