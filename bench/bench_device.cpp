// The configurator's own cost per page of "Read config" and of the firmware upload against the
// simulated device, and Read config against a device whose replies take 1 ms (one USB
// full-speed frame): the floor there is 512 x 1 ms, and the counter "ratio_to_floor" is the ratio;
// the same for the safe "Write config" with its backup and read-back.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "device_flows.h"
#include "link.h"
#include "simulated_device.h"
#include "transfers.h"

using namespace zyvora;

namespace {

// What the CLI does with the feedback: every log line formatted and written to a stream.
class StreamFeedback : public Feedback {
public:
    void info(const std::string& t) override { out << t << '\n'; }
    void message(const std::string& t) override { out << t << '\n'; }
    void error(const std::string& t) override { out << t << '\n'; }
    void log(const std::string& line) override { out << line << '\n'; }
    void progress_range(int, int) override {}
    void progress_position(int p) override { position = p; }
    int progress() const override { return position; }
    std::ostringstream out;
    int position = 0;
};

std::unique_ptr<SimulatedDevice> device(std::chrono::microseconds latency) {
    SimOptions options;
    options.factory_image = factory_image(Registry::instance());
    options.reply_latency = latency;
    return SimulatedDevice::create(options, nullptr);
}

void read_config_pages(benchmark::State& state, std::chrono::microseconds latency) {
    const Registry& registry = Registry::instance();
    auto sim = device(latency);
    SimulatedPort port(*sim);
    ControlStore store = registry.make_store();
    Image incoming{};
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        StreamFeedback feedback;
        if (!read_config(port, registry, store, incoming, feedback)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(feedback.out);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    state.counters["per_page"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kSettingsPages,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (latency.count() > 0) {
        // Two opens and 514 exchanges in all: 512 pages and the two version queries.
        const double floor_s = 514.0 * std::chrono::duration<double>(latency).count();
        state.counters["ratio_to_floor"] = elapsed.count() / (floor_s * static_cast<double>(state.iterations()));
    }
}

}  // namespace

static void BM_ReadConfig(benchmark::State& state) { read_config_pages(state, std::chrono::microseconds(0)); }
BENCHMARK(BM_ReadConfig)->Unit(benchmark::kMicrosecond);

static void BM_ReadConfig1msReplies(benchmark::State& state) {
    read_config_pages(state, std::chrono::microseconds(1000));
}
BENCHMARK(BM_ReadConfig1msReplies)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The whole safe "Write config": a backup read, the write and the read-back, 1536 pages and one
// version query against 1 ms replies; the floor is 1536 x 1 ms.
static void BM_SafeWrite1msReplies(benchmark::State& state) {
    const Registry& registry = Registry::instance();
    auto sim = device(std::chrono::microseconds(1000));
    SimulatedPort port(*sim);
    ControlStore store = registry.make_store();
    Image outgoing{};
    std::string folder = (std::filesystem::temp_directory_path() / "zyvora-bench-XXXXXX").string();
    folder = ::mkdtemp(folder.data());
    const WriteSafety safety{folder, true};
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        StreamFeedback feedback;
        if (!write_config(port, registry, store, outgoing, feedback, safety)) state.SkipWithError("write failed");
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    state.counters["ratio_to_floor"] = elapsed.count() / (1.536 * static_cast<double>(state.iterations()));
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SafeWrite1msReplies)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

static void BM_UploadFirmware(benchmark::State& state) {
    auto sim = device(std::chrono::microseconds(0));
    SimulatedPort port(*sim);
    const std::vector<std::uint8_t> firmware(272384, 0xA5);
    for (auto _ : state) {
        StreamFeedback feedback;
        auto transport = port.open(feedback);
        DeviceLink link(*transport);
        if (!upload_firmware(link, firmware, feedback)) state.SkipWithError("upload failed");
    }
    state.counters["per_page"] = benchmark::Counter(static_cast<double>(state.iterations()) * 8512,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UploadFirmware)->Unit(benchmark::kMillisecond);
