#include "console.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "files.h"

namespace zyvora::cli {

namespace {

// The window's line breaks inside a message ("\r\n", or a lone "\r"); a terminal wants a
// plain newline.
std::string plain_lines(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    for (char& c : text) {
        if (c == '\r') c = '\n';
    }
    return text;
}

}  // namespace

std::string terminal_text(const std::string& text) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
        out += printable(std::string_view(text).substr(from, at - from)) + '\n';
    }
    return out + printable(std::string_view(text).substr(from));
}

bool escapes_wanted() {
    const char* term = std::getenv("TERM");
    const char* no_color = std::getenv("NO_COLOR");
    return !(term && std::string_view(term) == "dumb") && !(no_color && *no_color);
}

ConsoleFeedback::ConsoleFeedback(const LogSetup& setup)
    : setup_(setup),
      in_place_(!setup.quiet && !setup.verbose && ::isatty(setup.to_stderr ? STDERR_FILENO : STDOUT_FILENO)),
      escapes_(escapes_wanted()) {}

namespace {
// Back to the start of the line, and the line cleared.
constexpr const char* kClearLine = "\r\033[K";
}  // namespace

void ConsoleFeedback::log(const std::string& line) {
    last_log_ = line;
    last_on_stderr_ = false;
    if (setup_.quiet) return;
    // A page line is known by the progress step that follows it.
    if (in_place_ && transfer_) {
        if (pending_) print_log(*pending_);
        pending_ = line;
        return;
    }
    print_log(line);
}

void ConsoleFeedback::print_log(const std::string& line) {
    std::ostream& out = setup_.to_stderr ? std::cerr : std::cout;
    if (drawn_) clear_line(out);
    out << terminal_text(line) << '\n' << std::flush;
}

void ConsoleFeedback::progress_range(int, int maximum) {
    clear_progress();
    transfer_ = maximum > 0;
    total_ = maximum;
    started_ = std::chrono::steady_clock::now();
}

void ConsoleFeedback::progress_position(int position) {
    position_ = position;
    if (position == 0) {
        // The end of a transfer (or the start of the next).
        clear_progress();
        transfer_ = false;
        return;
    }
    if (!transfer_ || !pending_) return;
    page_line_ = *pending_;
    pending_.reset();
    draw_progress();
}

void ConsoleFeedback::draw_progress() {
    using namespace std::chrono;
    const auto per_page = (steady_clock::now() - started_) / std::max(position_, 1);
    const auto left = ceil<seconds>(per_page * std::max(total_ - position_, 0)).count();
    std::ostream& out = setup_.to_stderr ? std::cerr : std::cout;
    const std::string text = terminal_text(page_line_) + ", " + std::to_string(left) + " s left";
    if (escapes_ || drawn_) clear_line(out);
    out << text << std::flush;
    drawn_ = true;
    drawn_width_ = text.size();
}

void ConsoleFeedback::clear_progress() {
    if (pending_) print_log(*pending_);
    pending_.reset();
    if (!drawn_) return;
    std::ostream& out = setup_.to_stderr ? std::cerr : std::cout;
    clear_line(out);
    out << std::flush;
}

void ConsoleFeedback::clear_line(std::ostream& out) {
    // A terminal without escape sequences gets the line overwritten with spaces.
    if (escapes_) out << kClearLine;
    else out << '\r' << std::string(drawn_width_, ' ') << '\r';
    drawn_ = false;
}

void ConsoleFeedback::warning(const std::string& text) {
    clear_progress();
    std::cerr << terminal_text(plain_lines("zyvora-cli: warning: " + text)) << '\n';
    last_on_stderr_ = true;
}

void ConsoleFeedback::show(const std::string& text) {
    last_on_stderr_ = true;
    if (setup_.quiet) {
        held_messages_.push_back(text);
        return;
    }
    clear_progress();
    std::cerr << terminal_text(plain_lines(text)) << '\n';
}

void ConsoleFeedback::failed(const std::string& operation, const std::string& why) {
    clear_progress();
    for (const std::string& text : held_messages_) std::cerr << terminal_text(plain_lines(text)) << '\n';
    held_messages_.clear();
    // A transfer stopped at a page by a fault, not by the user, names the page.
    const bool at_page = transfer_ && interrupts() == 0;
    if (why.empty() && last_on_stderr_ && !at_page) return;
    const std::string page = at_page ? "at page " + std::to_string(position_ + 1) + " of " + std::to_string(total_) : "";
    const std::string& reason = why.empty() ? last_log_ : why;
    failure_ = page + (!page.empty() && !reason.empty() ? ": " : "") + reason;
    std::string line = "zyvora-cli: " + operation + " failed";
    if (at_page) line += " " + page;
    if (!reason.empty()) line += ": " + reason;
    std::cerr << terminal_text(line) << '\n';
    last_on_stderr_ = true;
}

void ConsoleFeedback::finish() {
    clear_progress();
    std::cout << std::flush;
}

}  // namespace zyvora::cli
