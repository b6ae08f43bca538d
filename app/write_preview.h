#pragma once
// The question "Write config" asks once the device's settings are read: what the write changes.
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include <vector>

#include "advice.h"
#include "device_flows.h"
#include "registry.h"
#include "settings_source.h"

namespace zyvora_app {

// Each page's caption and under it, indented, each change as "Caption: from -> to" in the
// values the page shows; a password's values hidden.
QStringList change_lines(const zyvora::Registry& registry, const std::vector<zyvora::SettingChange>& changes);

// The settings the write changes (change_lines), or why there is no list; then the advice on the
// settings written, and the question whether to write.
QString write_question(const zyvora::Registry& registry, const zyvora::WritePreview& preview,
                       const std::vector<zyvora::aprs::Advice>& advice = {});

}  // namespace zyvora_app
