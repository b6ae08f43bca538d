#pragma once
// The line the status log ends an operation with: how it went, and what the user needs from it
// (the file, the backup, the device's versions), after the operation's own lines, so that the
// page lines of a transfer never bury it.
#include <QString>
#include <QStringList>
#include <string>

#include "feedback.h"

namespace zyvora_app {

// What an operation said, as far as its last line needs it.
struct Said {
    QString last;      // the last box or log line, on one line; empty when nothing was said
    QString versions;  // the device's versions box, on one line; empty when none came
};

// Passes everything on to `shown`, noting into `said` what the operation says.
class NotingFeedback : public zyvora::Feedback {
public:
    NotingFeedback(zyvora::Feedback& shown, Said& said) : shown_(shown), said_(said) {}

    void info(const std::string& text) override;
    void captioned_info(const std::string& caption, const std::string& text) override;
    void message(const std::string& text) override;
    void error(const std::string& text) override;
    void log(const std::string& line) override;
    void warning(const std::string& text) override;
    void outcome(const std::string& line) override;
    void progress_range(int minimum, int maximum) override { shown_.progress_range(minimum, maximum); }
    void progress_position(int position) override { shown_.progress_position(position); }
    int progress() const override { return shown_.progress(); }
    int interrupts() const override { return shown_.interrupts(); }
    void failed_setting(const std::string& control) override { shown_.failed_setting(control); }

private:
    zyvora::Feedback& shown_;
    Said& said_;
};

// "Read config done: ..." with `details` joined by ", ".
QString done_line(const QString& operation, const QStringList& details);
// "Read config did not complete: ..." with what was said last, or without it when nothing was.
QString failed_line(const QString& operation, const Said& said);
// "Read config cancelled: ..."
QString cancelled_line(const QString& operation, const QString& why);

// After "Write config": verified, the firmware version the device reported (the write goes on
// only with the one expected), and the backup; or why it did not complete, and the backup when
// that does not name it.
QString write_summary(bool ok, const Said& said, const QString& backup);

// A file as the log names it: its whole path, on one line.
QString logged_file(const QString& file);

// A text of several lines on one: each line break, with the spaces around it, as one space.
QString one_line(const QString& text);

}  // namespace zyvora_app
