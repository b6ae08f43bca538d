#pragma once
// The terminal side of the command line: log lines to standard output, boxes and errors to
// standard error, control bytes escaped.
#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "feedback.h"
#include "interrupts.h"

namespace zyvora::cli {

// A device's text or a file name may hold control bytes (escape sequences among them); the
// terminal gets them escaped, line by line.
std::string terminal_text(const std::string& text);

// How much of the status log is shown, and where.
struct LogSetup {
    bool quiet = false;      // failures only
    bool verbose = false;    // every line, even on a terminal
    bool to_stderr = false;  // standard output carries the result (a file on `-`, JSON)
};

// Whether standard error is a terminal that takes escape sequences: not with TERM=dumb, nor
// when NO_COLOR asks for plain output.
bool escapes_wanted();

// Log lines to standard output; boxes and errors to standard error, with the window's texts.
// On a terminal the page lines of a transfer become one line updated in place.
class ConsoleFeedback : public Feedback {
public:
    ConsoleFeedback() : ConsoleFeedback(LogSetup{}) {}
    explicit ConsoleFeedback(const LogSetup& setup);
    ~ConsoleFeedback() override { finish(); }

    void info(const std::string& text) override { show(text); }
    void message(const std::string& text) override { show(text); }
    void error(const std::string& text) override { show(text); }
    void warning(const std::string& text) override;
    void log(const std::string& line) override;
    void progress_range(int, int maximum) override;
    void progress_position(int position) override;
    int progress() const override { return position_; }
    int interrupts() const override { return held_ ? held_->count() : 0; }
    // While a device operation runs, Ctrl+C and the like are counted for it to decide on.
    void hold_interrupts() { held_ = std::make_unique<HeldInterrupts>(); }

    // The closing line of a failed operation, "zyvora-cli: OPERATION failed[ at page N of M]: WHY",
    // unless standard error already ends with why. `why` empty: the last status log line.
    void failed(const std::string& operation, const std::string& why = {});
    // What the last failure line said after "OPERATION failed": "at page N of M: WHY", or WHY;
    // empty when an error on standard error had already said it.
    const std::string& failure() const { return failure_; }
    // Ends a line left pending or in place.
    void finish();

private:
    void show(const std::string& text);
    void print_log(const std::string& line);
    void clear_progress();
    void clear_line(std::ostream& out);
    void draw_progress();

    LogSetup setup_;
    bool in_place_ = false;  // the log goes to a terminal and page lines are drawn in place
    bool escapes_ = false;   // ... which takes escape sequences; else a line is cleared with spaces
    std::size_t drawn_width_ = 0;
    std::unique_ptr<HeldInterrupts> held_;
    int position_ = 0;
    // The transfer under way: its pages, the last page line, and a log line that is a page line
    // when the next progress step follows it.
    bool transfer_ = false;
    int total_ = 0;
    std::chrono::steady_clock::time_point started_;
    std::string page_line_;
    std::optional<std::string> pending_;
    bool drawn_ = false;
    // What the failure line needs: the last log line, and whether standard error has the last word.
    std::string last_log_;
    bool last_on_stderr_ = false;
    std::string failure_;
    std::vector<std::string> held_messages_;  // --quiet: shown only when the operation fails
};

}  // namespace zyvora::cli
