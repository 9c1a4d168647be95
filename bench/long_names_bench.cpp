// The first decision after the settings or the address book changed (the
// index built, then a social-profile and a name test) for a blocked contact
// whose profile user name and given name are 10 bytes or 64 KiB long. The
// long one should cost under 10 ms and under 1 MB of heap more than the
// short one ("heapKiB": what the index holds once built).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include "bench/bench_support.h"
#include "hook/messaging_apps.h"
#include "hook/sender_matching.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"

namespace {
using namespace calmora;

void BM_FirstDecisionWithLongNames(benchmark::State& state) {
  const auto length = static_cast<size_t>(state.range(0));
  std::string user(length, 'a');
  user.back() = 'b';  // a near miss at every offset for the searches
  platform::contacts::Contact contact{bench::contactKey(0) + ":ABPerson", user, "Long", {"+49 30 1000000"},
                                      {{"WhatsApp", user}}};
  auto contacts = std::make_shared<ContactIndex::ContactList>();
  contacts->push_back(std::make_shared<const platform::contacts::Contact>(contact));
  auto settings = std::make_shared<platform::plist::CachedDictionary::Snapshot>();
  settings->dict = bench::settingsWithEntries(2);
  settings->state = platform::plist::ReadState::Ok;
  SettingsContent content = settings;
  platform::setLogSink([](std::string_view, void*) {}, nullptr);
  const SettingsSnapshot loaded;  // blocklist mode
  const std::vector<std::string> apps = buildMessagingApps();
  const DecisionInputs decision{loaded, apps, platform::clock::nowMs()};

  const platform::Text sender = std::string(length / 2, 'a') + "b", app = std::string("whatsapp"),
                       flag = std::string("net.whatsapp.WhatsApp");
  int blocked = 0;
  size_t heap = 0;
  for (auto _ : state) {
    const size_t before = mallinfo2().uordblks;
    ContactIndex index(content, contacts);
    heap = mallinfo2().uordblks - before;
    Reason reason;
    blocked = int{index.isSocialBlocked(decision, sender, app, flag, reason)} +
              int{index.isNameBlocked(decision, sender, flag, reason)};
    benchmark::DoNotOptimize(blocked);
  }
  state.counters["heapKiB"] = static_cast<double>(heap) / 1024.0;
  // The sender ends where the profile's user name ends: the profile blocks,
  // the name (not a prefix of the given name) does not.
  state.SetLabel(blocked == 1 ? "blocked by the profile" : "unexpected answer");
  platform::setLogSink(nullptr, nullptr);
}
BENCHMARK(BM_FirstDecisionWithLongNames)->Arg(10)->Arg(64 << 10)->Unit(benchmark::kMillisecond);

}  // namespace
