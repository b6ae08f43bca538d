#include "window_feedback.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <functional>
#include <utility>
#include <QStringList>
#include <QTimer>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "texts.h"

namespace zyvora_app {

WindowFeedback::WindowFeedback(QPlainTextEdit* log, QProgressBar* progress, BoxPresenter presenter)
    : log_(log), progress_(progress), presenter_(std::move(presenter)) {}

// A box waits for the user: the log shows everything before it first.
void WindowFeedback::info(const std::string& text) {
    flush();
    present(BoxKind::Information, from_message(text), {});
}

void WindowFeedback::captioned_info(const std::string& caption, const std::string& text) {
    flush();
    present(BoxKind::Information, from_message(text), from_message(caption));
}

void WindowFeedback::message(const std::string& text) {
    flush();
    present(BoxKind::Message, from_message(text), {});
}

void WindowFeedback::error(const std::string& text) {
    flush();
    present(BoxKind::Error, from_message(text), {});
}

void WindowFeedback::present(BoxKind kind, const QString& text, const QString& caption) {
    // A box that tells how the operation went tells the outcome too; a question or a notice
    // (a refused close) meanwhile does not.
    if (kind != BoxKind::Question && kind != BoxKind::Notice) {
        outcomes_.removeIf([](const Outcome& o) { return !o.warning; });
    }
    if (holding_boxes_) {
        held_.append({kind, text, caption});
        return;
    }
    release_boxes();
    presenter_(kind, text, caption);
}

namespace {

// Calls `painted` once, after the first paint of the widget it watches has reached the screen.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget* window, std::function<void()> painted)
        : QObject(window), painted_(std::move(painted)) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After this pass of painting, which ends with the picture going to the screen.
            QTimer::singleShot(0, parent(), [painted = std::move(painted_)] { painted(); });
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> painted_;
};

}  // namespace

void WindowFeedback::hold_boxes_until_painted(QWidget* window) {
    holding_boxes_ = true;
    new FirstPaint(window, [this] { release_boxes(); });
}

void WindowFeedback::release_boxes() {
    const QList<HeldBox> boxes = std::exchange(held_, {});
    for (const HeldBox& box : boxes) presenter_(box.kind, box.text, box.caption);
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

void WindowFeedback::warning(const std::string& text) {
    log(text);
    outcomes_.append({from_message(text), true});
}

void WindowFeedback::outcome(const std::string& line) {
    log(line);
    outcomes_.append({from_message(line), false});
}

void WindowFeedback::announce_outcome() {
    flush();
    QStringList lines;
    for (const Outcome& o : std::exchange(outcomes_, {})) lines << o.text;
    if (!lines.isEmpty()) notice(lines.join(u'\n'));
}

void WindowFeedback::flush() {
    flush_queued_ = false;
    if (pending_.isEmpty()) return;
    log_->appendPlainText(pending_);
    pending_.clear();
}

void WindowFeedback::progress_range(int minimum, int maximum) {
    progress_->setRange(minimum, maximum);
    describe_progress();
}

void WindowFeedback::progress_position(int position) {
    progress_->setValue(position);
    describe_progress();
}

// The bar shows no text, but a screen reader reads where the transfer is; nothing between transfers.
void WindowFeedback::describe_progress() {
    const bool running = progress_->value() > progress_->minimum();
    const QString text = running ? QStringLiteral("Page %1 of %2").arg(progress_->value()).arg(progress_->maximum())
                                 : QString();
    progress_->setFormat(running ? QStringLiteral("Page %v of %m") : QString());
    progress_->setAccessibleDescription(text);
}

bool WindowFeedback::ask(const QString& text) {
    flush();
    release_boxes();
    return presenter_(BoxKind::Question, text, {});
}

void WindowFeedback::notice(const QString& text) { present(BoxKind::Notice, text, {}); }

int WindowFeedback::progress() const { return progress_->value(); }

}  // namespace zyvora_app
