#include "operation_log.h"

#include <QFileInfo>
#include <QRegularExpression>

#include "files.h"
#include "report.h"
#include "texts.h"

namespace zyvora_app {

namespace {

QString noted(const std::string& text) { return one_line(from_message(text)); }

}  // namespace

void NotingFeedback::info(const std::string& text) {
    said_.last = noted(text);
    shown_.info(text);
}

void NotingFeedback::captioned_info(const std::string& caption, const std::string& text) {
    said_.last = noted(text);
    shown_.captioned_info(caption, text);
}

// The only plain message an operation shows is the device's versions.
void NotingFeedback::message(const std::string& text) {
    said_.versions = from_message(text).split(QRegularExpression(QStringLiteral("\\r?\\n")),
                                              Qt::SkipEmptyParts).join(QStringLiteral(", "));
    shown_.message(text);
}

void NotingFeedback::error(const std::string& text) {
    said_.last = noted(text);
    shown_.error(text);
}

void NotingFeedback::log(const std::string& line) {
    said_.last = noted(line);
    shown_.log(line);
}

void NotingFeedback::warning(const std::string& text) {
    said_.last = noted(text);
    shown_.warning(text);
}

void NotingFeedback::outcome(const std::string& line) {
    said_.last = noted(line);
    shown_.outcome(line);
}

QString done_line(const QString& operation, const QStringList& details) {
    return details.isEmpty() ? operation + QStringLiteral(" done.")
                             : operation + QStringLiteral(" done: ") + details.join(QStringLiteral(", "));
}

QString failed_line(const QString& operation, const Said& said) {
    return said.last.isEmpty() ? operation + QStringLiteral(" did not complete.")
                               : operation + QStringLiteral(" did not complete: ") + said.last;
}

QString cancelled_line(const QString& operation, const QString& why) {
    return operation + QStringLiteral(" cancelled: ") + why;
}

QString write_summary(bool ok, const Said& said, const QString& backup) {
    const QString name = QStringLiteral("Write config");
    const QString kept = QStringLiteral("Backup: ") + backup;
    if (ok) {
        QStringList details{QStringLiteral("Firmware version: ") +
                            QString::fromStdString(zyvora::firmware_version_text(zyvora::kExpectedFirmwareVersion))};
        if (!backup.isEmpty()) details << kept;
        return name + QStringLiteral(" done and verified: ") + details.join(QStringLiteral(", "));
    }
    QString line = failed_line(name, said);
    if (!backup.isEmpty() && !said.last.contains(backup)) line += (line.endsWith(u'.') ? QStringLiteral(" ") : QStringLiteral(". ")) + kept;
    return line;
}

QString logged_file(const QString& file) {
    return from_message(zyvora::printable(to_path(QFileInfo(file).absoluteFilePath())));
}

QString one_line(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("[ \\t]*[\\r\\n]+[ \\t]*"));
    return QString(text).replace(breaks, QStringLiteral(" ")).trimmed();
}

}  // namespace zyvora_app
