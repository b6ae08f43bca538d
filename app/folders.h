#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

namespace zyvora_app {

// The window's own settings (~/.config/zyvora-configurator/zyvora-configurator.conf): what it
// remembers between runs.
inline QSettings window_settings() {
    return QSettings(QStringLiteral("zyvora-configurator"), QStringLiteral("zyvora-configurator"));
}

// Where a file dialog starts: `beside_program` (config/, remote/, firmware/ next to a copy run from
// its own folder) where it exists, else `last_used`, else `documents`, else the home folder.
// Folders under /usr are passed over: an installed program's files are nobody's to keep there.
// The answer ends in '/'.
QString start_folder(const QString& beside_program, const QString& last_used, const QString& documents);

// The same with the folder last used for this kind of file (remembered under the beside-program
// folder's name) and the user's documents folder.
QString dialog_start_folder(const QString& beside_program);
// Remembers the folder of `chosen_file` as the last used for the dialogs starting beside the
// program in `beside_program`, and the file among the recent ones of that kind.
void remember_dialog_folder(const QString& beside_program, const QString& chosen_file);
// The folders of the recent files of that kind that still exist, newest first and each once: the
// dialog's history, which offers folders only.
QStringList dialog_history(const QString& beside_program);

}  // namespace zyvora_app
