// The blocked-event logs at 100, 1,000 and 10,000 records, each record with
// a real icon: an append (and one at a limit that drops the oldest), an unread count and isAllRead, against the floor
// of any append (writing the same bytes with write, fsync and rename) and
// against the plain parse, edit and serialise of the whole log; and floods
// of mark-all-read requests on a log that is all read.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <fstream>
#include <iterator>
#include <map>

#include "bench/bench_support.h"
#include "common/names.h"
#include "common/log_store.h"
#include "hook/log_requests.h"
#include "hook/process_state.h"
#include "platform/apps/app_registry.h"
#include "platform/apps/default_apps.h"
#include "platform/apps/icon_render.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"

namespace {
using namespace calmora;
using logs::Log;
using platform::plist::Value;

// The icon text a capture gives for a default messaging app: a 120 x 120
// PNG as base64.
const std::string& realIconText() {
  static const std::string text = [] {
    if (!QCoreApplication::instance()) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      static int argc = 1;
      static char arg0[] = "calmora_bench";
      static char* argv[] = {arg0, nullptr};
      new QGuiApplication(argc, argv);
    }
    auto dir = bench::scratchDir("apps");
    platform::apps::installDefaultApps(dir);
    platform::apps::AppRegistry apps(dir);
    auto app = apps.app("net.whatsapp.WhatsApp");
    if (!app) return std::string(9000, 'A');
    return platform::base64Encode(platform::apps::renderIcon(*app, 60, 60, 2, 12)->pngData().toStdString());
  }();
  return text;
}

logs::CallRecord callRecord(int i) {
  logs::CallRecord r;
  r.date = "10:30:00 07-12-2026";
  r.data = "WhatsApp Call from Contact " + std::to_string(i);
  r.appBID = "net.whatsapp.WhatsApp";
  r.iconData = realIconText();
  r.from = "Contact " + std::to_string(i);
  r.appName = "WhatsApp";
  return r;
}

Value recordValue(int i, bool read) {
  auto r = Value::dict();
  auto c = callRecord(i);
  r.set("Date", Value::string(c.date));
  r.set("isRead", Value::boolean(read));
  r.set("Data", Value::string(*c.data));
  r.set("appBID", Value::string(*c.appBID));
  r.set("iconData", Value::string(*c.iconData));
  r.set("From", Value::string(*c.from));
  r.set("appName", Value::string(*c.appName));
  return r;
}

// A device whose two logs hold `records` records each, as the engine
// writes them; every n-th record unread (0: all read). The bytes are made
// once per size, the files afresh at each call.
struct Device {
  std::string calls;  // the calls log's bytes
};
const Device& device(int records, int unreadEvery) {
  static std::map<std::pair<int, int>, Device> made;
  auto key = std::make_pair(records, unreadEvery);
  auto it = made.find(key);
  auto root = bench::scratchDir("logs-" + std::to_string(records) + "-" + std::to_string(unreadEvery));
  std::filesystem::create_directories(root / "var/mobile/Library/Preferences");
  platform::setDeviceRoot(root);
  if (it == made.end()) {
    auto log = Value::dict();
    for (int i = 0; i < records; ++i)
      log.set(std::to_string(i), recordValue(i, unreadEvery == 0 || i % unreadEvery != 0));
    it = made.emplace(key, Device{platform::plist::toXml(log.ref())}).first;
  }
  bench::must(platform::replaceAtomically(logs::logPath(Log::Calls), it->second.calls));
  bench::must(platform::replaceAtomically(logs::logPath(Log::Notifications), it->second.calls));
  return it->second;
}

// Posts and diagnostic lines go nowhere.
class NullCenter : public platform::NotificationCenter {
 public:
  void post(std::string_view, const platform::UserInfo&, platform::Delivery) override {}
  Token addObserver(std::string_view, Handler) override { return 0; }
  void removeObserver(Token) override {}
};
void quiet() {
  platform::setLogSink([](std::string_view, void*) {}, nullptr);
  platform::setDefaultCenter(std::make_shared<NullCenter>());
}

void label(benchmark::State& state, size_t bytes) {
  state.SetLabel(std::to_string(bytes / 1024) + " KiB, icon " + std::to_string(realIconText().size()) + " B");
}

// Appends one call record to a log of range(0) records that keeps `keep`.
void appendToLog(benchmark::State& state, size_t keep) {
  quiet();
  const Device& d = device(static_cast<int>(state.range(0)), 0);
  auto record = callRecord(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    bench::must(platform::replaceAtomically(logs::logPath(Log::Calls), d.calls));
    state.ResumeTiming();
    benchmark::DoNotOptimize(logs::appendCall(record, nullptr, keep));
  }
  label(state, d.calls.size());
}

void BM_LogAppend(benchmark::State& state) { appendToLog(state, logs::kKeepAll); }
BENCHMARK(BM_LogAppend)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A log that keeps as many records as it holds: each append drops the
// oldest and renumbers the rest in the same rewrite. Against BM_LogAppend
// at the same size.
void BM_LogAppendAtLimit(benchmark::State& state) { appendToLog(state, static_cast<size_t>(state.range(0))); }
BENCHMARK(BM_LogAppendAtLimit)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One record taken out of the middle of the log, as the viewer's "Delete"
// does: found by its content, the later keys renumbered, one rewrite.
void BM_LogDeleteOne(benchmark::State& state) {
  quiet();
  const int records = static_cast<int>(state.range(0));
  const Device& d = device(records, 0);
  const int middle = records / 2;
  auto c = callRecord(middle);
  const logs::RecordContent shown{c.date, *c.data, *c.from, *c.appBID, *c.appName, "", *c.iconData};
  for (auto _ : state) {
    state.PauseTiming();
    bench::must(platform::replaceAtomically(logs::logPath(Log::Calls), d.calls));
    state.ResumeTiming();
    auto removed = logs::removeRecord(logs::logPath(Log::Calls), middle, shown);
    if (!removed || *removed != middle) state.SkipWithError("the record was not removed");
  }
  label(state, d.calls.size());
}
BENCHMARK(BM_LogDeleteOne)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: the appended log's bytes written to a temporary file, flushed
// to disk and renamed over the log.
void BM_WriteFsyncRenameBaseline(benchmark::State& state) {
  device(static_cast<int>(state.range(0)), 0);
  bench::must(logs::appendCall(callRecord(static_cast<int>(state.range(0)))));
  std::string bytes;
  {
    std::ifstream in(logs::logPath(Log::Calls), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (auto _ : state) bench::must(platform::replaceAtomically(logs::logPath(Log::Calls), bytes));
  label(state, bytes.size());
}
BENCHMARK(BM_WriteFsyncRenameBaseline)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// What an append costs when the log is parsed into a tree and serialised
// again, as the quick path avoids.
void BM_LogAppendByFullParse(benchmark::State& state) {
  const Device& d = device(static_cast<int>(state.range(0)), 0);
  for (auto _ : state) {
    state.PauseTiming();
    bench::must(platform::replaceAtomically(logs::logPath(Log::Calls), d.calls));
    state.ResumeTiming();
    auto r = platform::plist::readDictionary(logs::logPath(Log::Calls));
    r.dict.set(std::to_string(r.dict.size()), recordValue(0, false));
    bench::must(platform::plist::writeXmlAtomically(logs::logPath(Log::Calls), r.dict.ref()));
  }
  label(state, d.calls.size());
}
BENCHMARK(BM_LogAppendByFullParse)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LogAppendByFullParse)->Arg(10000)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UnreadCount(benchmark::State& state) {
  const Device& d = device(static_cast<int>(state.range(0)), 3);
  for (auto _ : state) benchmark::DoNotOptimize(logs::unreadCount(Log::Calls));
  label(state, d.calls.size());
}
BENCHMARK(BM_UnreadCount)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Everything read: both logs are read to their ends.
void BM_IsAllRead(benchmark::State& state) {
  const Device& d = device(static_cast<int>(state.range(0)), 0);
  for (auto _ : state) benchmark::DoNotOptimize(logs::isAllRead());
  label(state, 2 * d.calls.size());
}
BENCHMARK(BM_IsAllRead)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MarkOneRead(benchmark::State& state) {
  quiet();
  const Device& d = device(static_cast<int>(state.range(0)), 1);
  platform::Notification request{std::string(names::signal::kMarkReadC), {{"key", "0"}}};
  for (auto _ : state) {
    state.PauseTiming();
    bench::must(platform::replaceAtomically(logs::logPath(Log::Calls), d.calls));
    state.ResumeTiming();
    logs::markReadC(request);
  }
  label(state, d.calls.size());
}
BENCHMARK(BM_MarkOneRead)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();


// A mark-all-read request on a log that is all read already, as the app
// sends them in floods: the store's own operations without a memo (every
// request reads both logs to their ends) against the home screen's handler,
// which answers an unchanged version from what it knows of it.
void BM_MarkAllReadRescanning(benchmark::State& state) {
  quiet();
  const Device& d = device(static_cast<int>(state.range(0)), 0);
  for (auto _ : state) {
    bench::must(logs::markAllRead(Log::Notifications));
    benchmark::DoNotOptimize(logs::isAllRead());
  }
  label(state, d.calls.size());
}
BENCHMARK(BM_MarkAllReadRescanning)->Arg(1000)->Arg(6000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MarkAllReadRequest(benchmark::State& state) {
  quiet();
  resetProcessStateForTesting();
  const Device& d = device(static_cast<int>(state.range(0)), 0);
  for (auto _ : state) logs::markAllReadN();
  label(state, d.calls.size());
}
BENCHMARK(BM_MarkAllReadRequest)->Arg(1000)->Arg(6000)->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();

// 2,000 requests posted at once and delivered by the center, each answered
// with its hide signal: one iteration is the whole flood.
void BM_MarkAllReadFlood(benchmark::State& state) {
  quiet();
  resetProcessStateForTesting();
  const Device& d = device(static_cast<int>(state.range(0)), 0);
  auto center = std::make_shared<platform::InProcessCenter>();
  platform::setDefaultCenter(center);
  center->addObserver(names::signal::kMarkAllReadN, [](const platform::Notification&) { logs::markAllReadN(); });
  for (auto _ : state) {
    for (int i = 0; i < 2000; ++i) center->post(names::signal::kMarkAllReadN, {}, platform::Delivery::Plain);
    center->deliverPending();
  }
  label(state, d.calls.size());
  quiet();
}
BENCHMARK(BM_MarkAllReadFlood)->Arg(6000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
