#pragma once
// The question "Write config" asks once the device's settings are read: what the write changes.
#include <QString>
#include <string>

#include <vector>

#include "advice.h"
#include "device_flows.h"
#include "registry.h"

namespace zyvora_app {

// The settings the write changes, each page's caption over its changes in the words the page
// shows, or why there is no list; then the advice on the settings written, and the question
// whether to write.
QString write_question(const zyvora::Registry& registry, const zyvora::WritePreview& preview,
                       const std::vector<zyvora::aprs::Advice>& advice = {});

}  // namespace zyvora_app
