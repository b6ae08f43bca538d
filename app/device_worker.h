#pragma once
// Device work runs on a thread of its own, which owns the device for the whole operation, while
// the window goes on painting, scrolling its log and hearing Stop and close. The work never
// touches a widget: what it shows reaches the window's feedback through queued calls, in order,
// and a box or a question is shown on the window's thread while the work waits for it.
#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "feedback.h"

namespace zyvora_app {

class WindowFeedback;

class WorkerFeedback : public zyvora::Feedback {
public:
    // Made on the window's thread.
    explicit WorkerFeedback(WindowFeedback& shown);
    ~WorkerFeedback() override;
    WorkerFeedback(const WorkerFeedback&) = delete;
    WorkerFeedback& operator=(const WorkerFeedback&) = delete;

    // Boxes wait for the user, as they did when the work ran on the window's thread.
    void info(const std::string& text) override;
    void captioned_info(const std::string& caption, const std::string& text) override;
    void message(const std::string& text) override;
    void error(const std::string& text) override;
    void log(const std::string& line) override;
    void warning(const std::string& text) override;
    void outcome(const std::string& line) override;
    void progress_range(int minimum, int maximum) override;
    void progress_position(int position) override;
    int progress() const override { return position_; }
    int interrupts() const override;
    void failed_setting(const std::string& control) override;

    // A question with Yes and No, asked on the window's thread; true for Yes.
    bool ask(const QString& text);

    // Runs `call` on the window's thread, once what came before it is shown, and gives back its
    // result; the work waits meanwhile.
    template <class Call>
    std::invoke_result_t<Call> on_window(Call call) {
        using Result = std::invoke_result_t<Call>;
        if constexpr (std::is_void_v<Result>) {
            run_on_window([&] { call(); });
        } else {
            Result result{};
            run_on_window([&] { result = call(); });
            return result;
        }
    }

    // On the window's thread: shows everything that has come.
    void show_queued();

    // Run on the window's thread before each box and question, while the work waits, and when
    // the work has ended: the window takes on what the work changed, so that a box never speaks
    // of values the pages do not show yet.
    void set_catch_up(std::function<void()> catch_up) { catch_up_ = std::move(catch_up); }

private:
    enum class Kind { Log, Warning, Outcome, Range, Position, FailedSetting };
    struct Event {
        Kind kind;
        std::string text;
        int first = 0;
        int second = 0;
    };
    void queue(Event event);
    void show_soon();
    void run_on_window(const std::function<void()>& call);

    WindowFeedback& shown_;
    QObject receiver_;  // on the window's thread; calls queued to it go with it
    std::mutex mutex_;
    std::vector<Event> events_;  // under mutex_
    bool posted_ = false;        // under mutex_: a call to show them is on its way
    QElapsedTimer since_shown_;  // window's thread
    int position_ = 0;           // work's thread
    std::function<void()> catch_up_;
};

// Runs `work` on a new thread and returns once it has ended, with everything it showed shown.
// The window's thread takes its events meanwhile, as under a modal dialog. An exception thrown by
// the work is thrown again here.
void run_beside_window(WindowFeedback& shown, const std::function<void(WorkerFeedback& feedback)>& work,
                       std::function<void()> catch_up = {});

}  // namespace zyvora_app
