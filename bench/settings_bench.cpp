// Reading the settings file: the cost every evaluation pays when the file
// is parsed anew, and what the cached read costs while it is unchanged.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "hook/settings_snapshot.h"
#include "common/settings_file.h"

namespace {
using namespace calmora;

void BM_ReadSettingsFile(benchmark::State& state) {
  auto dir = bench::scratchDir("settings-" + std::to_string(state.range(0)));
  auto file = dir / "settings.plist";
  bench::must(
      platform::plist::writeXmlAtomically(file, bench::settingsWithEntries(static_cast<int>(state.range(0))).ref()));
  for (auto _ : state) {
    auto r = platform::plist::readDictionary(file);
    benchmark::DoNotOptimize(r.dict.size());
  }
  state.SetLabel(std::to_string(std::filesystem::file_size(file) / 1024) + " KiB");
}
BENCHMARK(BM_ReadSettingsFile)->Arg(50)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_ReadSettingsSnapshot(benchmark::State& state) {
  auto dir = bench::scratchDir("snapshot-" + std::to_string(state.range(0)));
  auto file = dir / "settings.plist";
  bench::must(
      platform::plist::writeXmlAtomically(file, bench::settingsWithEntries(static_cast<int>(state.range(0))).ref()));
  for (auto _ : state) {
    auto r = platform::plist::readDictionary(file);
    bool enabled = false;
    benchmark::DoNotOptimize(snapshotFrom(r.dict.ref(), &enabled));
  }
}
BENCHMARK(BM_ReadSettingsSnapshot)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_CachedSettingsUnchanged(benchmark::State& state) {
  auto dir = bench::scratchDir("cached-" + std::to_string(state.range(0)));
  auto file = dir / "settings.plist";
  bench::must(
      platform::plist::writeXmlAtomically(file, bench::settingsWithEntries(static_cast<int>(state.range(0))).ref()));
  settings::SettingsFile settingsFile(file);
  for (auto _ : state) benchmark::DoNotOptimize(settingsFile.current()->dict.size());
}
BENCHMARK(BM_CachedSettingsUnchanged)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
