#pragma once
// Records everything shown through the feedback port, in order, as short texts that tests
// compare whole: "log: Page read: 1/512", "position: 0", "range: 0..512".
#include <string>
#include <utility>
#include <vector>

#include "feedback.h"

namespace zyvora::testing {

class RecordingFeedback : public Feedback {
public:
    void info(const std::string& text) override { events.push_back("info: " + text); }
    void captioned_info(const std::string& caption, const std::string& text) override {
        events.push_back("info [" + caption + "]: " + text);
    }
    void message(const std::string& text) override { events.push_back("message: " + text); }
    void error(const std::string& text) override { events.push_back("error: " + text); }
    void log(const std::string& line) override {
        events.push_back("log: " + line);
        for (const auto& [after, count] : interrupt_after) {
            if (line == after) interrupts_ = count;
        }
    }
    int interrupts() const override { return interrupts_; }
    void progress_range(int minimum, int maximum) override {
        events.push_back("range: " + std::to_string(minimum) + ".." + std::to_string(maximum));
    }
    void progress_position(int position) override {
        position_ = position;
        positions.push_back(position);
        events.push_back("position: " + std::to_string(position));
    }
    int progress() const override { return position_; }

    // The status log lines alone.
    std::vector<std::string> lines() const { return only("log: "); }
    // The boxes alone, with their kind.
    std::vector<std::string> boxes() const {
        std::vector<std::string> out;
        for (const std::string& e : events) {
            if (e.starts_with("info") || e.starts_with("message: ") || e.starts_with("error: ")) out.push_back(e);
        }
        return out;
    }
    std::vector<std::string> only(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& e : events) {
            if (e.starts_with(prefix)) out.push_back(e.substr(prefix.size()));
        }
        return out;
    }

    std::vector<std::string> events;
    std::vector<int> positions;  // every position set, in order
    // The user interrupts: once the log line is shown, interrupts() gives the count.
    std::vector<std::pair<std::string, int>> interrupt_after;

private:
    int position_ = 0;
    int interrupts_ = 0;
};

// "what: 1/total" .. "what: count/total".
inline std::vector<std::string> counted_lines(const std::string& what, int count, int total) {
    std::vector<std::string> out;
    for (int n = 1; n <= count; ++n) out.push_back(what + std::to_string(n) + "/" + std::to_string(total));
    return out;
}

}  // namespace zyvora::testing
