// Speed of the generic passes over the area tables: one encode, one decode, one save, one read;
// and the warnings about a settings file near the 1 MiB a settings file may hold.
#include <benchmark/benchmark.h>

#include "clock.h"
#include "lint.h"
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

// The defaults file with `inserted` after the [I-Gate] line, up to 1 MiB in all.
static std::string igate_with(const std::string& inserted) {
    const Registry& registry = Registry::instance();
    const ControlStore store = startup(registry);
    SettingsFile saved;
    saved.write_header();
    save(registry, store, saved);
    std::string text = saved.serialise();
    text.insert(text.find("[I-Gate]\n") + 9, inserted.substr(0, (std::size_t{1} << 20) - text.size()));
    return text;
}

// One unknown key of nearly 1 MiB: no name is near it, and none is compared letter by letter.
static void BM_LintOneHugeUnknownKey(benchmark::State& state) {
    const std::string text = igate_with(std::string((std::size_t{1} << 20) - 40000, 'K') + "=1\n");
    for (auto _ : state) {
        auto warnings = lint_settings_file(Registry::instance(), text);
        benchmark::DoNotOptimize(warnings);
    }
}
BENCHMARK(BM_LintOneHugeUnknownKey)->Unit(benchmark::kMillisecond);

// Some 25000 unknown keys as long as the longest known ones: hints for the first hundred only.
static void BM_LintManyUnknownKeys(benchmark::State& state) {
    std::string keys;
    for (int i = 0; keys.size() < (std::size_t{1} << 20); ++i) {
        keys += "Aprsis_packet2rf_filter_callsign" + std::to_string(100000 + i) + "=1\n";
    }
    const std::string text = igate_with(keys);
    for (auto _ : state) {
        auto warnings = lint_settings_file(Registry::instance(), text);
        benchmark::DoNotOptimize(warnings);
    }
}
BENCHMARK(BM_LintManyUnknownKeys)->Unit(benchmark::kMillisecond);
