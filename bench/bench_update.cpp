// Speed of building a remote update package at the largest firmware the device takes: the
// package in memory alone, and the whole operation with its file write.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "clock.h"
#include "package.h"
#include "passes.h"
#include "remote_update.h"
#include "report.h"

using namespace zyvora;

namespace {

std::vector<std::uint8_t> stand_in_firmware() {
    std::vector<std::uint8_t> bytes(kFirmwareCapacity);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    return bytes;
}

}  // namespace

static void BM_BuildPackage(benchmark::State& state) {
    const Registry& registry = Registry::instance();
    ControlStore store = registry.make_store();
    registry.settle(store);
    Image image{};
    encode(registry, store, image, {false, 1234});
    const auto firmware = stand_in_firmware();
    const FillerSource filler = time_seeded_filler();
    for (auto _ : state) {
        auto package = build_package(image, firmware, filler);
        benchmark::DoNotOptimize(package.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kFirmwareCapacity + kPackageFirmwareOffset));
}
BENCHMARK(BM_BuildPackage)->Unit(benchmark::kMillisecond);

// Encode, firmware read, package and the write beside the destination with its rename and fsync.
static void BM_BuildRemoteUpdateFile(benchmark::State& state) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "zyvora-bench-ruf-XXXXXX").string();
    const std::string dir = ::mkdtemp(pattern.data());
    const auto bytes = stand_in_firmware();
    std::ofstream(dir + "/firmware.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const FirmwareStore firmware = FirmwareStore::from_file(dir + "/firmware.bin");
    const Registry& registry = Registry::instance();
    ControlStore store = registry.make_store();
    registry.settle(store);
    Image image{};
    SilentFeedback feedback;
    const Clock clock = [] { return LocalTime{2026, 4, 3, 9, 5}; };
    for (auto _ : state) {
        if (!build_remote_update_file(registry, store, image, firmware, dir + "/out.ruf", feedback, clock)) {
            state.SkipWithError("the build failed");
            break;
        }
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_BuildRemoteUpdateFile)->Unit(benchmark::kMillisecond);
