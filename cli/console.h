#pragma once
// The terminal side of the command line: log lines to standard output, boxes and errors to
// standard error, control bytes escaped.
#include <memory>
#include <string>

#include "feedback.h"
#include "interrupts.h"

namespace zyvora::cli {

// A device's text or a file name may hold control bytes (escape sequences among them); the
// terminal gets them escaped, line by line.
std::string terminal_text(const std::string& text);

// Log lines to standard output; boxes and errors to standard error, with the window's texts.
class ConsoleFeedback : public Feedback {
public:
    void info(const std::string& text) override { show(text); }
    void message(const std::string& text) override { show(text); }
    void error(const std::string& text) override { show(text); }
    void warning(const std::string& text) override { show("zyvora-cli: warning: " + text); }
    void log(const std::string& line) override;
    void progress_range(int, int) override {}
    void progress_position(int position) override { position_ = position; }
    int progress() const override { return position_; }
    void process_events() override {}
    int interrupts() const override { return held_ ? held_->count() : 0; }
    // While a device operation runs, Ctrl+C and the like are counted for it to decide on.
    void hold_interrupts() { held_ = std::make_unique<HeldInterrupts>(); }

private:
    static void show(const std::string& text);
    std::unique_ptr<HeldInterrupts> held_;
    int position_ = 0;
};

}  // namespace zyvora::cli
