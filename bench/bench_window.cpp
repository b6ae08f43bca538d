// The window path of "Read config" and of the firmware upload: the same flows as the CLI's,
// with every page going through the status log and the progress bar (offscreen platform). The
// pages go on the device's own thread, so the figures are of real time, not of this thread's CPU.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "device_flows.h"
#include "main_window.h"
#include "simulated_device.h"

using namespace zyvora;

namespace {

struct Window {
    explicit Window(std::chrono::microseconds latency = {}) {
        SimOptions options;
        options.factory_image = factory_image(Registry::instance());
        options.reply_latency = latency;
        device = SimulatedDevice::create(options, nullptr);
        // Every question answered yes, every box taken at once.
        form = std::make_unique<zyvora_app::TForm1>(Registry::instance(), zyvora_app::page_layouts(),
                                                    [](zyvora_app::BoxKind, const QString&, const QString&) {
                                                        return true;
                                                    });
        form->set_device_port(std::make_unique<SimulatedPort>(*device));
    }
    void click(const char* name) { form->findChild<QPushButton*>(name)->click(); }
    // The log is never cleared by the program; here it is, so that every round costs the same.
    void clear_log() { form->findChild<QPlainTextEdit*>("Memo1")->clear(); }

    std::unique_ptr<SimulatedDevice> device;
    std::unique_ptr<zyvora_app::TForm1> form;
};

void per_page(benchmark::State& state, double pages) {
    state.counters["per_page"] = benchmark::Counter(static_cast<double>(state.iterations()) * pages,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

static void BM_WindowReadConfig(benchmark::State& state) {
    Window window;
    for (auto _ : state) {
        window.click("Button4");
        state.PauseTiming();
        window.clear_log();
        state.ResumeTiming();
    }
    per_page(state, kSettingsPages);
}
BENCHMARK(BM_WindowReadConfig)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_WindowUploadFirmware(benchmark::State& state) {
    Window window;
    const std::string path = "/tmp/zyvora-bench-firmware.bin";
    std::string stand_in(272384, '\0');  // bytes of every value, as an enciphered image holds
    for (std::size_t i = 0; i < stand_in.size(); ++i) stand_in[i] = static_cast<char>(i ^ (i >> 8) ^ 0xA5);
    std::ofstream(path, std::ios::binary) << stand_in;
    window.form->set_firmware(FirmwareStore::from_file(path));
    for (auto _ : state) {
        window.click("Button3");
        state.PauseTiming();
        window.clear_log();
        state.ResumeTiming();
    }
    std::remove(path.c_str());
    per_page(state, 8512);
}
BENCHMARK(BM_WindowUploadFirmware)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole safe "Write config" through the window against 1 ms replies: 1536 pages and one
// version query; the floor is 1536 x 1 ms.
static void BM_WindowSafeWrite1msReplies(benchmark::State& state) {
    Window window(std::chrono::microseconds(1000));
    QTemporaryDir backups;
    qputenv("XDG_DATA_HOME", backups.path().toUtf8());
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        window.click("Button5");
        state.PauseTiming();
        window.clear_log();
        state.ResumeTiming();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    state.counters["ratio_to_floor"] = elapsed.count() / (1.536 * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_WindowSafeWrite1msReplies)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
