// A build configured without a firmware image carries none: never a made-up one.
#include "firmware_embedded.h"

namespace zyvora {

std::optional<EmbeddedFirmware> embedded_firmware() { return std::nullopt; }

}  // namespace zyvora
