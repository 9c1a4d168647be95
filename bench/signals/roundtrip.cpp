// Round trips of the app's requests to a running home-screen process, against
// a bare round trip over the same bus in the same run:
//   BM_BareRoundTrip          ping to an echo process and back
//   BM_MarkReadC/N            markReadC to its hide or show, N call records
//   BM_UnreadCall/N           unreadCall to its unreadCallCOunt
//   BM_LogRewrite/N           one read and atomic rewrite of that log, alone
// The program boots its own device with build/bin/simctl and shuts it down.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "common/names.h"
#include "platform/uikit/image.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/plist.h"

namespace {
namespace fs = std::filesystem;
namespace sig = calmora::names::signal;
using platform::plist::Value;

constexpr const char* kPing = "calmora.bench/ping";
constexpr const char* kPong = "calmora.bench/pong";

fs::path gBin;
fs::path gDevice;
std::shared_ptr<platform::DBusCenter> gCenter;
QProcess* gEcho = nullptr;

int run(const QStringList& args) {
  QProcess p;
  p.start(QString::fromStdString((gBin / "simctl").string()), args);
  p.waitForFinished(60000);
  return p.exitCode();
}

fs::path callsLog() { return gDevice / fs::path(calmora::names::kBlockedCallsPath).relative_path(); }

// A log of n read call records carrying a real-sized icon (a 120 x 120 PNG
// of an installed app), written as the engine writes it.
void writeLog(int n) {
  static std::string icon = [] {
    QImage img(120, 120, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 120; ++x) img.setPixel(x, y, qRgba(x * 2, y * 2, (x * y) & 0xFF, 255));
    return platform::base64Encode(platform::uikit::UIImage(img, 1.0).pngData().toStdString());
  }();
  auto log = Value::dict();
  for (int i = 0; i < n; ++i) {
    auto r = Value::dict();
    r.set("Date", Value::string("10:30:00 07-12-2026"));
    r.set("isRead", Value::boolean(true));
    r.set("Data", Value::string("Phone Call from Caller " + std::to_string(i)));
    r.set("appBID", Value::string("com.apple.mobilephone"));
    r.set("iconData", Value::string(icon));
    r.set("From", Value::string("Caller " + std::to_string(i)));
    r.set("appName", Value::string("Phone"));
    log.set(std::to_string(i), std::move(r));
  }
  calmora::bench::must(platform::plist::writeXmlAtomically(callsLog(), log.ref()));
}

// Posts `request` and runs the event loop until `answer` arrives.
void roundTrip(benchmark::State& state, const char* request, platform::UserInfo info,
               std::initializer_list<std::string_view> answers) {
  bool got = false;
  std::vector<platform::NotificationCenter::Token> tokens;
  for (auto a : answers) tokens.push_back(gCenter->addObserver(a, [&](const platform::Notification&) { got = true; }));
  QEventLoop loop;
  for (auto _ : state) {
    got = false;
    gCenter->post(request, info, platform::Delivery::Immediate);
    QElapsedTimer t;
    t.start();
    while (!got) {
      loop.processEvents(QEventLoop::WaitForMoreEvents, 100);
      if (t.elapsed() > 10000) {
        state.SkipWithError("no answer within 10 s");
        break;
      }
    }
  }
  for (auto t : tokens) gCenter->removeObserver(t);
}

void BM_BareRoundTrip(benchmark::State& state) { roundTrip(state, kPing, {}, {kPong}); }
BENCHMARK(BM_BareRoundTrip)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_MarkReadC(benchmark::State& state) {
  writeLog(static_cast<int>(state.range(0)));
  roundTrip(state, sig::kMarkReadC.data(), {{"key", "0"}}, {sig::kHide, sig::kShow});
}
BENCHMARK(BM_MarkReadC)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_UnreadCall(benchmark::State& state) {
  writeLog(static_cast<int>(state.range(0)));
  roundTrip(state, sig::kUnreadCall.data(), {}, {sig::kUnreadCallCount});
}
BENCHMARK(BM_UnreadCall)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_LogRewrite(benchmark::State& state) {
  writeLog(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto log = platform::plist::readDictionary(callsLog());
    calmora::bench::must(platform::plist::writeXmlAtomically(callsLog(), log.dict.ref()));
  }
  state.SetLabel(std::to_string(fs::file_size(callsLog()) / 1024) + " KiB");
}
BENCHMARK(BM_LogRewrite)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The echo process: answers each ping with a pong.
int echoMain(int argc, char** argv, const std::string& address) {
  QCoreApplication app(argc, argv);
  auto center = platform::makeDBusCenter(address);
  if (!center) return 1;
  center->addObserver(kPing, [&](const platform::Notification&) { center->post(kPong); });
  std::puts("ready");
  std::fflush(stdout);
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--echo") return echoMain(argc, argv, argv[2]);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QCoreApplication app(argc, argv);
  gBin = fs::canonical("/proc/self/exe").parent_path();
  gDevice = fs::temp_directory_path() / ("calmora-roundtrip-" + std::to_string(::getpid()));
  fs::remove_all(gDevice);
  fs::create_directories(gDevice / "var/mobile/Library/Preferences");
  auto settings = Value::dict();
  settings.set("isTweakEnabled", Value::boolean(true));
  calmora::bench::must(platform::plist::writeXmlAtomically(
      gDevice / fs::path(calmora::names::kSettingsPath).relative_path(), settings.ref()));
  if (run({"boot", QString::fromStdString(gDevice.string())}) != 0) {
    std::fprintf(stderr, "cannot boot the device\n");
    return 1;
  }
  const std::string address = platform::deviceBusAddress(gDevice);
  gCenter = platform::makeDBusCenter(address);
  gEcho = new QProcess;
  gEcho->start(QString::fromLocal8Bit(argv[0]), {"--echo", QString::fromStdString(address)});
  gEcho->waitForReadyRead(10000);

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  gEcho->kill();
  gEcho->waitForFinished();
  delete gEcho;
  gCenter.reset();
  run({"shutdown", QString::fromStdString(gDevice.string())});
  fs::remove_all(gDevice);
  return 0;
}
