#include "window_feedback.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "texts.h"

namespace zyvora_app {

WindowFeedback::WindowFeedback(QPlainTextEdit* log, QProgressBar* progress, BoxPresenter presenter)
    : log_(log), progress_(progress), presenter_(std::move(presenter)) {}

void WindowFeedback::info(const std::string& text) { presenter_(BoxKind::Information, from_message(text), {}); }

void WindowFeedback::captioned_info(const std::string& caption, const std::string& text) {
    presenter_(BoxKind::Information, from_message(text), from_message(caption));
}

void WindowFeedback::message(const std::string& text) { presenter_(BoxKind::Message, from_message(text), {}); }

void WindowFeedback::error(const std::string& text) { presenter_(BoxKind::Error, from_message(text), {}); }

void WindowFeedback::log(const std::string& line) { log_->appendPlainText(from_message(line)); }

void WindowFeedback::progress_range(int minimum, int maximum) { progress_->setRange(minimum, maximum); }

void WindowFeedback::progress_position(int position) { progress_->setValue(position); }

int WindowFeedback::progress() const { return progress_->value(); }

void WindowFeedback::process_events() { QCoreApplication::processEvents(); }

}  // namespace zyvora_app
