#pragma once
// The feedback port as the main window shows it: log lines in Memo1, progress in ProgressBar1,
// boxes through the window's box presenter. Lines are shown in batches, when the window next
// takes its events; device work reaches it through a WorkerFeedback (device_worker.h).
#include "box_presenter.h"
#include "feedback.h"

#include <QList>
#include <QString>
#include <atomic>
#include <string>
#include <utility>

class QPlainTextEdit;
class QProgressBar;
class QWidget;

namespace zyvora_app {

class WindowFeedback : public zyvora::Feedback {
public:
    WindowFeedback(QPlainTextEdit* log, QProgressBar* progress, BoxPresenter presenter);

    void set_presenter(BoxPresenter presenter) { presenter_ = std::move(presenter); }

    void info(const std::string& text) override;
    void captioned_info(const std::string& caption, const std::string& text) override;
    void message(const std::string& text) override;
    void error(const std::string& text) override;
    void log(const std::string& line) override;
    // Also kept for announce_outcome().
    void warning(const std::string& text) override;
    void outcome(const std::string& line) override;
    void progress_range(int minimum, int maximum) override;
    void progress_position(int position) override;
    int progress() const override;
    void failed_setting(const std::string& control) override { failed_setting_ = control; }

    // Shows the log lines still held back; operations call it when they end.
    void flush();

    // A question box with Yes and No, after the log lines held back; true for Yes.
    bool ask(const QString& text);
    // An information box that the window does not wait for.
    void notice(const QString& text);
    // A device operation begins: no Stop asked yet, no outcome kept.
    void begin_operation() {
        stop_ = false;
        outcomes_.clear();
    }
    // The outcome lines and warnings an operation put only in the log, in a notice: a screen
    // reader reads a box out, but not a line added to a log that does not have the focus. An
    // outcome a later message box tells is left out; a warning is not.
    void announce_outcome();
    // The user's Stop, which the transfer sees between pages as a repeated interrupt: a write
    // stops at once, having been confirmed already. Read from the work's thread.
    void request_stop() { stop_ = true; }
    bool stop_requested() const { return stop_; }
    int interrupts() const override { return stop_ ? 2 : 0; }
    // The control of the last failing check since the last call, if any; the window goes there
    // once the operation that checked has ended.
    std::string take_failed_setting() { return std::exchange(failed_setting_, {}); }

    // Boxes raised from now until stop_holding_boxes() (those of start-up) wait until `window`
    // has been shown and painted: a box over a window still blank hides what it speaks of.
    // Questions, which need their answer at once, do not wait.
    void hold_boxes_until_painted(QWidget* window);
    // Later boxes show at once, after any still held.
    void stop_holding_boxes() { holding_boxes_ = false; }

private:
    struct HeldBox {
        BoxKind kind;
        QString text;
        QString caption;
    };
    // Shows the box now, or holds it while the window has not been painted.
    void present(BoxKind kind, const QString& text, const QString& caption);
    void release_boxes();
    void describe_progress();

    QPlainTextEdit* log_;
    QString pending_;        // log lines not yet shown, joined by newlines
    bool flush_queued_ = false;
    QProgressBar* progress_;
    BoxPresenter presenter_;
    std::atomic<bool> stop_ = false;
    std::string failed_setting_;
    bool holding_boxes_ = false;
    QList<HeldBox> held_;
    struct Outcome {
        QString text;
        bool warning;
    };
    QList<Outcome> outcomes_;
};

}  // namespace zyvora_app
