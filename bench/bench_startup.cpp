// The window's start: from building the main window to its first paint (offscreen platform),
// warm within one process and cold as a new process.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "main_window.h"

namespace {

constexpr const char* kOneWindow = "--one-window";

// Notes the window's first paint.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return QObject::eventFilter(watched, event);
    }
};

void show_until_painted(zyvora_app::TForm1& window) {
    PaintWatch watch;
    window.installEventFilter(&watch);
    window.show();
    while (!watch.painted) QCoreApplication::processEvents(QEventLoop::AllEvents);
    window.removeEventFilter(&watch);
}

}  // namespace

// As the program builds it (its pages as they are shown) and with every page built at once.
static void BM_WindowToFirstPaint(benchmark::State& state) {
    const auto building = static_cast<zyvora_app::PageBuilding>(state.range(0));
    for (auto _ : state) {
        auto window = std::make_unique<zyvora_app::TForm1>(building);
        show_until_painted(*window);
        state.PauseTiming();
        window.reset();
        QCoreApplication::processEvents();  // the deferred deletions
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowToFirstPaint)
    ->ArgName("when_shown")
    ->Arg(static_cast<int>(zyvora_app::PageBuilding::when_shown))
    ->Arg(static_cast<int>(zyvora_app::PageBuilding::at_once))
    ->Unit(benchmark::kMillisecond);

// A new process as the program starts: the application, its fonts and style, and the window
// up to its first paint; its pages built as they are shown, as the program does, or all at once.
static void BM_ProcessToFirstPaint(benchmark::State& state) {
    const std::string building = std::to_string(state.range(0));
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        state.SkipWithError("cannot find this program");
        return;
    }
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) {
            execl(self, self, kOneWindow, building.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the window did not start");
    }
}
BENCHMARK(BM_ProcessToFirstPaint)
    ->ArgName("when_shown")
    ->Arg(static_cast<int>(zyvora_app::PageBuilding::when_shown))
    ->Arg(static_cast<int>(zyvora_app::PageBuilding::at_once))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc == 3 && std::strcmp(argv[1], kOneWindow) == 0) {
        const auto building = static_cast<zyvora_app::PageBuilding>(std::atoi(argv[2]));
        QApplication app(argc, argv);
        zyvora_app::TForm1 window(building);
        show_until_painted(window);
        _exit(0);  // as the window's first paint is all that is timed, the teardown is not
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
