// What the phone shows of what the blocker lets through, from the hook's
// decision to the first frame: a handed-on call to the call screen, a
// handed-on bulletin to its banner (each p95 within 30 ms), and the
// notification list's first screen over 10,000 delivered notifications
// (within 50 ms). A frame is the home screen's window rendered as the
// screenshot verb renders it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/bench_support.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/records/delivered_notifications.h"
#include "platform/springboard/springboard.h"
#include "platform/uikit/application.h"
#include "platform/uikit/view_widget_p.h"
#include "platform/uikit/window.h"

namespace {
using Clock = std::chrono::steady_clock;

platform::springboard::SpringBoard& board() {
  static std::unique_ptr<platform::springboard::SpringBoard> b = [] {
    static int argc = 1;
    static char arg0[] = "calmora_bench";
    static char* argv[] = {arg0, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
    const auto root = calmora::bench::scratchDir("phone-screens");
    platform::setDeviceRoot(root);
    platform::setLogSink([](std::string_view, void*) {}, nullptr);
    auto made = std::make_unique<platform::springboard::SpringBoard>(root);
    made->start([] {});  // no hook: everything is handed on
    return made;
  }();
  return *b;
}

// The first frame: the home screen's window drawn once, after the layout
// the change asked for.
void frame() {
  platform::uikit::UIWindow* w = platform::uikit::UIApplication::sharedApplication().keyWindow();
  static QImage image(750, 1334, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(2);
  QCoreApplication::sendPostedEvents();
  platform::uikit::ViewWidget::of(*w)->render(&image, QPoint(), QRegion(),
                                              QWidget::DrawWindowBackground | QWidget::DrawChildren);
}

// Times each iteration's `measured` and reports their p95 in ms; `after`
// puts the screen back, untimed.
template <class Measured, class After>
void percentile(benchmark::State& state, Measured measured, After after) {
  std::vector<double> ms;
  for (auto _ : state) {
    const auto start = Clock::now();
    measured();
    const double took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    ms.push_back(took);
    state.SetIterationTime(took / 1000);
    state.PauseTiming();
    after();
    state.ResumeTiming();
  }
  std::sort(ms.begin(), ms.end());
  state.counters["p95_ms"] = ms.empty() ? 0 : ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
}

void BM_HandedOnCallToCallScreenFrame(benchmark::State& state) {
  auto& b = board();
  platform::springboard::CallDescription call;
  call.displayName = std::string("Alice Friend");
  call.contactIdentifier = std::string("A-1:ABPerson");
  percentile(
      state,
      [&] {
        b.ring(call);
        frame();
      },
      [&] { b.calls().decline(); });
}
BENCHMARK(BM_HandedOnCallToCallScreenFrame)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_HandedOnBulletinToBannerFrame(benchmark::State& state) {
  auto& b = board();
  platform::springboard::BulletinDescription bulletin;
  bulletin.section = std::string("com.apple.MobileSMS");
  bulletin.title = std::string("Alice Friend");
  bulletin.message = std::string("Lunch?");
  percentile(
      state,
      [&] {
        b.notifications().deliver(bulletin);
        frame();
      },
      [&] { b.notifications().dismissBanner(); });
}
BENCHMARK(BM_HandedOnBulletinToBannerFrame)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_NotificationListFirstScreenOf10000(benchmark::State& state) {
  auto& b = board();
  {
    auto records = platform::records::DeliveredNotifications::open(platform::records::Mode::ReadWrite);
    calmora::bench::must(records);
    for (int i = records->count("", platform::records::Cleared::Exclude); i < 10000; ++i)
      (void)records->add({0, i, "app" + std::to_string(i % 10), "sender " + std::to_string(i), "", "message", false,
                          false});
  }
  percentile(
      state,
      [&] {
        b.notifications().showList();
        frame();
      },
      [&] { b.notifications().closeList(); });
}
BENCHMARK(BM_NotificationListFirstScreenOf10000)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace
