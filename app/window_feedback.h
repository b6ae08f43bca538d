#pragma once
// The feedback port as the main window shows it: log lines in Memo1, progress in ProgressBar1,
// boxes through the window's box presenter.
#include "box_presenter.h"
#include "feedback.h"

class QPlainTextEdit;
class QProgressBar;

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
    void progress_range(int minimum, int maximum) override;
    void progress_position(int position) override;
    int progress() const override;
    void process_events() override;

private:
    QPlainTextEdit* log_;
    QProgressBar* progress_;
    BoxPresenter presenter_;
};

}  // namespace zyvora_app
