// checkContact over settings files of 50 and 500 contact entries, the
// contact near the end so that nearly every key is tried and logged.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "common/names.h"
#include "hook/contact_key_index.h"
#include "hook/messaging_apps.h"
#include "hook/rules.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"

namespace {
using namespace calmora;

void BM_CheckContact(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  auto root = bench::scratchDir("rules-" + std::to_string(entries));
  platform::setDeviceRoot(root);
  auto settings = platform::devicePath(names::kSettingsPath);
  std::filesystem::create_directories(settings.parent_path());
  bench::must(platform::plist::writeXmlAtomically(settings, bench::settingsWithEntries(entries).ref()));
  // A Monday inside every entry's 08:00-17:00 window.
  platform::clock::setTimeZoneForTesting("Europe/Berlin");
  platform::clock::setNowForTesting(QDateTime(QDate(2026, 12, 7), QTime(10, 30), platform::clock::timeZone())
                                        .toMSecsSinceEpoch());
  platform::setLogSink([](std::string_view, void*) {}, nullptr);
  SettingsSnapshot loaded;  // blocklist mode
  const std::vector<std::string> apps = buildMessagingApps();
  const ContactKeyIndex keys(settingsContentOf(platform::plist::readDictionary(settings).dict));
  // A blocked entry at the end of the file, so that nearly every key is
  // tried and the schedule is asked as well.
  const platform::Text contact = bench::contactKey(entries - 2);
  const platform::Text app = std::string("com.apple.mobilephone");
  for (auto _ : state) {
    Reason reason;
    benchmark::DoNotOptimize(
        checkContact(keys, DecisionInputs{loaded, apps, platform::clock::nowMs()}, contact, app, reason));
  }
  platform::setLogSink(nullptr, nullptr);
  platform::clock::setNowForTesting(std::nullopt);
}
BENCHMARK(BM_CheckContact)->Arg(50)->Arg(500)->Unit(benchmark::kMicrosecond);

}  // namespace
