#include "write_preview.h"

#include <QStringList>
#include <algorithm>

#include "page_tree.h"
#include "texts.h"

namespace zyvora_app {

namespace {

// A box taller than the screen hides its buttons: a long list is cut, saying how much is left.
constexpr std::size_t kShownChanges = 16;

QString shown_value(const std::string& value) {
    return value.empty() ? QStringLiteral("(empty)") : from_store(value);
}

}  // namespace

QString write_question(const zyvora::Registry& registry, const zyvora::WritePreview& preview) {
    const QString ask = QStringLiteral("Write the settings to the device?");
    if (!preview.device_valid) return QStringLiteral("The device holds no valid configuration.\n\n") + ask;
    if (preview.changes.empty()) {
        return QStringLiteral("No setting will change.\n\nWrite the settings to the device anyway?");
    }
    const std::size_t count = preview.changes.size();
    QStringList lines;
    lines.append(count == 1 ? QStringLiteral("1 setting will change:")
                            : QStringLiteral("%1 settings will change:").arg(count));
    const std::size_t shown = count > kShownChanges ? kShownChanges - 1 : count;
    for (std::size_t i = 0; i < shown; ++i) {
        const zyvora::SettingChange& change = preview.changes[i];
        const zyvora::Setting& setting = registry.settings()[change.row];
        const std::string caption = zyvora::setting_caption(setting);
        lines.append(QStringLiteral("[%1] %2: %3 -> %4")
                         .arg(QString::fromStdString(zyvora::page_caption(setting.control.page)),
                              from_message(caption.empty() ? setting.key->name : caption),
                              shown_value(change.from), shown_value(change.to)));
    }
    if (shown < count) lines.append(QStringLiteral("... and %1 more.").arg(count - shown));
    return lines.join(u'\n') + QStringLiteral("\n\n") + ask;
}

}  // namespace zyvora_app
