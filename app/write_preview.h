#pragma once
// The question "Write config" asks once the device's settings are read: what the write changes.
#include <QString>
#include <string>

#include "device_flows.h"
#include "registry.h"

namespace zyvora_app {

// The settings the write changes, one a line as "[Page] Caption: device value -> new value",
// or why there is no list, and the question whether to write.
QString write_question(const zyvora::Registry& registry, const zyvora::WritePreview& preview);

}  // namespace zyvora_app
