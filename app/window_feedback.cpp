#include "window_feedback.h"

#include <QCoreApplication>
#include <QTimer>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "texts.h"

namespace zyvora_app {

namespace {
constexpr qint64 kEventIntervalMs = 15;  // about a screen refresh
}  // namespace

WindowFeedback::WindowFeedback(QPlainTextEdit* log, QProgressBar* progress, BoxPresenter presenter)
    : log_(log), progress_(progress), presenter_(std::move(presenter)) {}

// A box waits for the user: the log shows everything before it first.
void WindowFeedback::info(const std::string& text) {
    flush();
    presenter_(BoxKind::Information, from_message(text), {});
}

void WindowFeedback::captioned_info(const std::string& caption, const std::string& text) {
    flush();
    presenter_(BoxKind::Information, from_message(text), from_message(caption));
}

void WindowFeedback::message(const std::string& text) {
    flush();
    presenter_(BoxKind::Message, from_message(text), {});
}

void WindowFeedback::error(const std::string& text) {
    flush();
    presenter_(BoxKind::Error, from_message(text), {});
}

void WindowFeedback::log(const std::string& line) {
    if (!pending_.isEmpty()) pending_ += u'\n';
    pending_ += from_message(line);
    // Shown at the latest when the window next takes its events.
    if (!flush_queued_) {
        flush_queued_ = true;
        QTimer::singleShot(0, log_, [this] { flush(); });
    }
}

void WindowFeedback::flush() {
    flush_queued_ = false;
    if (pending_.isEmpty()) return;
    log_->appendPlainText(pending_);
    pending_.clear();
}

void WindowFeedback::progress_range(int minimum, int maximum) { progress_->setRange(minimum, maximum); }

void WindowFeedback::progress_position(int position) {
    progress_->setValue(position);
    if (transfer_running_) process_events();
}

bool WindowFeedback::ask(const QString& text) {
    flush();
    return presenter_(BoxKind::Question, text, {});
}

void WindowFeedback::notice(const QString& text) { presenter_(BoxKind::Notice, text, {}); }

int WindowFeedback::progress() const { return progress_->value(); }

void WindowFeedback::process_events() {
    if (since_events_.isValid() && since_events_.elapsed() < kEventIntervalMs) return;
    flush();
    QCoreApplication::processEvents();
    since_events_.start();
}

}  // namespace zyvora_app
