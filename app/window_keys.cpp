// The window's own keys. It has no menu bar and a fixed layout, so each key is an action of the
// window, named by what it does.
#include <QAction>
#include <QKeySequence>

#include "main_window.h"
#include "required_child.h"

namespace zyvora_app {

namespace {

// The platform's keys for `standard`, or `fallback` where it has none (Quit on Windows, say).
QList<QKeySequence> keys_for(QKeySequence::StandardKey standard, const QKeySequence& fallback) {
    const QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
    return keys.isEmpty() ? QList{fallback} : keys;
}

QString key_names(const QAction& action) {
    QStringList names;
    for (const QKeySequence& key : action.shortcuts()) names << key.toString(QKeySequence::NativeText);
    return names.join(QStringLiteral(", "));
}

}  // namespace

void TForm1::build_keys() {
    const auto add = [this](const char* name, const char* text, QKeySequence::StandardKey standard,
                            const QKeySequence& fallback, auto slot) {
        auto* action = new QAction(QString::fromLatin1(text), this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcuts(keys_for(standard, fallback));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
    };
    add("ActionReadFromFile", "Read settings from a file", QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O),
        [this] { read_from_file(); });
    add("ActionSave", "Save settings to the file last read or saved", QKeySequence::Save,
        QKeySequence(Qt::CTRL | Qt::Key_S), [this] { save(); });
    add("ActionSaveAs", "Save settings to another file", QKeySequence::SaveAs,
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { save_to_file(); });
    add("ActionStationHistory", "Show the station history", QKeySequence::UnknownKey,
        QKeySequence(Qt::CTRL | Qt::Key_H), [this] { show_station_history(); });
    // Through the same close that asks about unsaved changes and waits for a running transfer.
    add("ActionQuit", "Close the window", QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });

    // What F1 shows where no setting has the focus, and what a screen reader reads for the window.
    QStringList help = {
        QStringLiteral("The pages hold the device's settings. \"Read config\" brings them from the device, "
                       "\"Write config\" sends them to it."),
        QString(), QStringLiteral("Keys:")};
    for (const char* name : {"ActionHelp", "ActionReadFromFile", "ActionSave", "ActionSaveAs", "ActionStationHistory", "ActionQuit"}) {
        const QAction& action = *required_child<QAction>(*this, QString::fromLatin1(name));
        help << key_names(action) + QStringLiteral(": ") + action.text();
    }
    help << QStringLiteral("Ctrl+Tab, Ctrl+PgDown: Show the next page")
         << QStringLiteral("Ctrl+Shift+Tab, Ctrl+PgUp: Show the previous page")
         << QStringLiteral("Alt and the underlined letter: Press that button")
         << QStringLiteral("Esc: Stop the running transfer");
    setWhatsThis(help.join(u'\n'));
    setAccessibleDescription(whatsThis());
}

}  // namespace zyvora_app
