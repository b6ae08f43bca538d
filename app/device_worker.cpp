#include "device_worker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <exception>
#include <thread>
#include <utility>

#include "texts.h"
#include "window_feedback.h"

namespace zyvora_app {

namespace {
// Lines and progress are shown at most this often (about a screen refresh), however fast the
// device answers: the log moves with the device without the window spending its time on it.
constexpr qint64 kShowIntervalMs = 15;
}  // namespace

WorkerFeedback::WorkerFeedback(WindowFeedback& shown) : shown_(shown) {}

WorkerFeedback::~WorkerFeedback() = default;

void WorkerFeedback::info(const std::string& text) {
    on_window([&] { shown_.info(text); });
}

void WorkerFeedback::captioned_info(const std::string& caption, const std::string& text) {
    on_window([&] { shown_.captioned_info(caption, text); });
}

void WorkerFeedback::message(const std::string& text) {
    on_window([&] { shown_.message(text); });
}

void WorkerFeedback::error(const std::string& text) {
    on_window([&] { shown_.error(text); });
}

void WorkerFeedback::log(const std::string& line) { queue({Kind::Log, line}); }

void WorkerFeedback::warning(const std::string& text) { queue({Kind::Warning, text}); }

void WorkerFeedback::outcome(const std::string& line) { queue({Kind::Outcome, line}); }

void WorkerFeedback::progress_range(int minimum, int maximum) { queue({Kind::Range, {}, minimum, maximum}); }

void WorkerFeedback::progress_position(int position) {
    position_ = position;
    queue({Kind::Position, {}, position});
}

int WorkerFeedback::interrupts() const { return shown_.interrupts(); }

void WorkerFeedback::failed_setting(const std::string& control) { queue({Kind::FailedSetting, control}); }

bool WorkerFeedback::ask(const QString& text) {
    return on_window([&] { return shown_.ask(text); });
}

void WorkerFeedback::queue(Event event) {
    const std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    if (std::exchange(posted_, true)) return;
    QMetaObject::invokeMethod(&receiver_, [this] { show_soon(); }, Qt::QueuedConnection);
}

void WorkerFeedback::show_soon() {
    const qint64 wait = since_shown_.isValid() ? kShowIntervalMs - since_shown_.elapsed() : 0;
    if (wait > 0) {
        QTimer::singleShot(wait, &receiver_, [this] { show_soon(); });
        return;
    }
    show_queued();
}

void WorkerFeedback::show_queued() {
    std::vector<Event> events;
    {
        const std::lock_guard lock(mutex_);
        events.swap(events_);
        posted_ = false;
    }
    since_shown_.start();
    // Only the last of several positions in a row would be seen.
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        switch (e.kind) {
            case Kind::Log: shown_.log(e.text); break;
            case Kind::Warning: shown_.warning(e.text); break;
            case Kind::Outcome: shown_.outcome(e.text); break;
            case Kind::Range: shown_.progress_range(e.first, e.second); break;
            case Kind::Position:
                if (i + 1 == events.size() || events[i + 1].kind != Kind::Position) shown_.progress_position(e.first);
                break;
            case Kind::FailedSetting: shown_.failed_setting(e.text); break;
        }
    }
    shown_.flush();
}

void WorkerFeedback::run_on_window(const std::function<void()>& call) {
    QMetaObject::invokeMethod(
        &receiver_,
        [this, &call] {
            show_queued();
            if (catch_up_) catch_up_();
            call();
        },
        Qt::BlockingQueuedConnection);
}

void run_beside_window(WindowFeedback& shown, const std::function<void(WorkerFeedback& feedback)>& work,
                       std::function<void()> catch_up) {
    WorkerFeedback feedback(shown);
    feedback.set_catch_up(catch_up);
    QEventLoop loop;
    std::atomic<bool> done = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work(feedback);
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    // An application quitting ends every event loop of this thread; this one goes on until the
    // work has ended, since the work refers to what lives here.
    while (!done) {
        loop.exec();
        // Quitting, whose event loops return at once: the events are still taken, for the work's boxes.
        if (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    worker.join();
    feedback.show_queued();
    if (catch_up) catch_up();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace zyvora_app
