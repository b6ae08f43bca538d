// Speed of the generic passes over the area tables: one encode, one decode, one save, one read.
#include <benchmark/benchmark.h>

#include "clock.h"
#include "passes.h"
#include "settingsfile.h"

using namespace zyvora;

static ControlStore startup(const Registry& registry) {
    ControlStore store = registry.make_store();
    registry.settle(store);
    pc_time_fill(store, {2026, 4, 3, 9, 5});
    return store;
}

static void BM_Encode(benchmark::State& state) {
    const Registry& registry = Registry::instance();
    const ControlStore store = startup(registry);
    Image image{};
    for (auto _ : state) {
        auto failures = encode(registry, store, image, {false, 1234});
        benchmark::DoNotOptimize(failures);
        benchmark::DoNotOptimize(image.data());
    }
}
BENCHMARK(BM_Encode);

static void BM_Decode(benchmark::State& state) {
    const Registry& registry = Registry::instance();
    ControlStore store = startup(registry);
    Image image{};
    encode(registry, store, image, {false, 1234});
    for (auto _ : state) {
        auto mismatch = decode(registry, store, image);
        benchmark::DoNotOptimize(mismatch);
    }
}
BENCHMARK(BM_Decode);

static void BM_SaveSerialise(benchmark::State& state) {
    const Registry& registry = Registry::instance();
    const ControlStore store = startup(registry);
    for (auto _ : state) {
        SettingsFile file;
        file.write_header();
        save(registry, store, file);
        auto text = file.serialise();
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_SaveSerialise);

static void BM_ParseRead(benchmark::State& state) {
    const Registry& registry = Registry::instance();
    ControlStore store = startup(registry);
    SettingsFile saved;
    saved.write_header();
    save(registry, store, saved);
    const std::string text = saved.serialise();
    for (auto _ : state) {
        SettingsFile file;
        file.parse(text);
        read(registry, store, file);
    }
}
BENCHMARK(BM_ParseRead);
