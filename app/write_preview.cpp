#include "write_preview.h"

#include <QStringList>
#include <algorithm>

#include "texts.h"

namespace zyvora_app {

namespace {

// A box taller than the screen hides its buttons: a long list is cut, saying how much is left.
constexpr qsizetype kShownLines = 16;
constexpr double kFarKm = 1.0;

// A password is not shown to whoever looks over the owner's shoulder; that it changes is.
QString shown_text(const zyvora::ShownChange& change, const std::string& value) {
    if (change.secret && value != "(empty)") return QStringLiteral("(hidden)");
    return from_store(value);
}

}  // namespace

QStringList change_lines(const zyvora::Registry& registry, const std::vector<zyvora::SettingChange>& changes) {
    // Each page's caption over its changes, each change in the words and values the page shows.
    QStringList list;
    for (const auto& page : zyvora::changes_by_page(registry, changes)) {
        list.append(from_message(page.front().page) + u':');
        for (const zyvora::ShownChange& change : page) {
            list.append(QStringLiteral("    %1: %2 -> %3")
                            .arg(from_message(change.name), shown_text(change, change.from),
                                 shown_text(change, change.to)));
        }
    }
    return list;
}

QString write_question(const zyvora::Registry& registry, const zyvora::WritePreview& preview,
                       const std::vector<zyvora::aprs::Advice>& advice) {
    // The last look before the device on the hill is rewritten: what goes against APRS practice.
    QString advised;
    if (!advice.empty()) {
        QStringList lines{QStringLiteral("Advice on these settings:")};
        for (const zyvora::aprs::Advice& a : advice) lines.append(QStringLiteral("    ") + from_message(a.text));
        advised = lines.join(u'\n') + QStringLiteral("\n\n");
    }
    const QString ask = advised + QStringLiteral("Write the settings to the device?");
    if (!preview.device_valid) return QStringLiteral("The device holds no valid configuration.\n\n") + ask;
    if (preview.changes.empty()) {
        return QStringLiteral("No setting will change.\n\n") + advised +
               QStringLiteral("Write the settings to the device anyway?");
    }
    const std::size_t count = preview.changes.size();
    QStringList list = change_lines(registry, preview.changes);
    if (list.size() > kShownLines) {
        list.resize(kShownLines - 1);
        if (!list.back().startsWith(u' ')) list.removeLast();  // no page caption without a change under it
        const auto shown = static_cast<std::size_t>(std::count_if(
            list.begin(), list.end(), [](const QString& line) { return line.startsWith(u' '); }));
        list.append(QStringLiteral("... and %1 more.").arg(count - shown));
    }
    list.prepend(count == 1 ? QStringLiteral("1 setting will change:")
                            : QStringLiteral("%1 settings will change:").arg(count));
    // A station put kilometres away by a typing slip is what the box is there to catch: such a
    // move comes first, a smaller one after the list.
    QStringList far, near;
    for (const zyvora::PointMove& move : preview.moves) (move.km > kFarKm ? far : near).append(from_message(move.text));
    if (!far.isEmpty()) list.prepend(far.join(u'\n') + u'\n');
    if (!near.isEmpty()) list.append(u'\n' + near.join(u'\n'));
    return list.join(u'\n') + QStringLiteral("\n\n") + ask;
}

}  // namespace zyvora_app
