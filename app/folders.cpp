#include "folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zyvora_app {
namespace {

bool usable(const QString& folder) {
    if (folder.isEmpty()) return false;
    const QFileInfo info(folder);
    if (!info.isDir()) return false;
    const QString path = info.canonicalFilePath();
    return path != QLatin1String("/usr") && !path.startsWith(QLatin1String("/usr/"));
}

QString with_slash(QString folder) {
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder;
}

// "config" for ".../config/": the kind of file the dialogs of that folder take.
QString memory_key(const QString& beside_program) {
    return QStringLiteral("Folders/") + QFileInfo(QDir::cleanPath(beside_program)).fileName();
}

QString recent_key(const QString& beside_program) { return memory_key(beside_program) + QStringLiteral("_recent"); }

constexpr int kRecentFiles = 10;

}  // namespace

QString start_folder(const QString& beside_program, const QString& last_used, const QString& documents) {
    for (const QString& folder : {beside_program, last_used, documents}) {
        if (usable(folder)) return with_slash(folder);
    }
    return with_slash(QDir::homePath());
}

QString dialog_start_folder(const QString& beside_program) {
    const QString last_used = window_settings().value(memory_key(beside_program)).toString();
    return start_folder(beside_program, last_used,
                        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

void remember_dialog_folder(const QString& beside_program, const QString& chosen_file) {
    QSettings settings = window_settings();
    const QString file = QFileInfo(chosen_file).absoluteFilePath();
    settings.setValue(memory_key(beside_program), QFileInfo(file).absolutePath());
    QStringList recent = settings.value(recent_key(beside_program)).toStringList();
    recent.removeAll(file);
    recent.prepend(file);
    settings.setValue(recent_key(beside_program), recent.mid(0, kRecentFiles));
}

QStringList dialog_history(const QString& beside_program) {
    QStringList folders;
    for (const QString& file : window_settings().value(recent_key(beside_program)).toStringList()) {
        const QString folder = QFileInfo(file).absolutePath();
        if (!folders.contains(folder) && QFileInfo(folder).isDir()) folders << folder;
    }
    return folders;
}

}  // namespace zyvora_app
