// The phone's apps on large records: Contacts' first screen with 5,000
// people against reading the vCard file once, a search keystroke among them,
// and Recents' first screen with 10,000 calls.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/contacts/contact_store.h"
#include "platform/foundation/device_paths.h"
#include "platform/phoneapps/contact_list.h"
#include "platform/phoneapps/recents.h"
#include "platform/records/call_history.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/window.h"

namespace {

using namespace platform::uikit;

struct Fixture {
  std::filesystem::path root, book;
  Fixture() {
    char templ[] = "/tmp/calmora-bench-phoneapps.XXXXXX";
    root = mkdtemp(templ);
    platform::setDeviceRoot(root);
    book = root / "contacts.vcf";
    std::ofstream out(book);
    for (int i = 0; i < 5000; ++i)
      out << "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Family" << i % 700 << ";Given" << i << ";;;\r\nFN:Given" << i
          << " Family" << i % 700 << "\r\nUID:C-" << i << "\r\nTEL;TYPE=CELL:+1 555 " << i
          << "\r\nEMAIL;TYPE=HOME:given" << i << "@example.com\r\nEND:VCARD\r\n";
    out.close();
    auto history = platform::records::CallHistory::open(platform::records::Mode::ReadWrite);
    if (!history) std::abort();
    for (int i = 0; i < 10000; ++i) {
      platform::records::CallRecord call;
      call.dateMs = 1'700'000'000'000 + int64_t{i} * 60'000;
      call.name = "Caller " + std::to_string(i);
      call.number = "+1 555 " + std::to_string(i);
      call.bundle = i % 3 ? "com.apple.mobilephone" : "net.whatsapp.WhatsApp";
      call.appName = i % 3 ? "Phone" : "WhatsApp";
      call.outcome = platform::records::Outcome(i % 3);
      history->add(call);
    }
  }
  ~Fixture() { std::filesystem::remove_all(root); }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A screen in its navigation stack on a window, laid out: what opening the app shows.
template <class Screen>
void openOnWindow(std::shared_ptr<Screen> screen) {
  auto window = make<UIWindow>(CGRect(0, 0, 390, 844));
  window->setRootViewController(std::make_shared<UINavigationController>(screen));
  window->makeKeyAndVisible();
  window->layoutIfNeeded();
  benchmark::DoNotOptimize(screen->tableView()->indexPathsForVisibleRows());
}

void BM_ReadBookOnce(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(platform::contacts::makeVCardStore(fixture().book, false)->allContacts()->size());
}

void BM_ContactsFirstScreen(benchmark::State& state) {
  for (auto _ : state) {
    openOnWindow(std::make_shared<platform::phoneapps::ContactListController>(fixture().book));
    state.PauseTiming();
    settle();
    state.ResumeTiming();
  }
}

void BM_ContactsSearchKeystroke(benchmark::State& state) {
  auto list = std::make_shared<platform::phoneapps::ContactListController>(fixture().book);
  auto window = make<UIWindow>(CGRect(0, 0, 390, 844));
  window->setRootViewController(std::make_shared<UINavigationController>(list));
  window->makeKeyAndVisible();
  window->layoutIfNeeded();
  const QString typed = "given12";
  int n = 0;
  for (auto _ : state) {
    list->search(typed.left(1 + n++ % typed.size()));  // one more letter each time, as typed
    window->layoutIfNeeded();
  }
}

void BM_RecentsFirstScreen(benchmark::State& state) {
  for (auto _ : state) {
    openOnWindow(std::make_shared<platform::phoneapps::RecentsController>(std::string()));
    state.PauseTiming();
    settle();
    state.ResumeTiming();
  }
}

BENCHMARK(BM_ReadBookOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContactsFirstScreen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContactsSearchKeystroke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecentsFirstScreen)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // The records and the book are made before any timing; Qt's runtime folder is the fixture's.
  const auto runtime = fixture().root / "run";
  std::filesystem::create_directory(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("QT_NO_GLIB")) ::setenv("QT_NO_GLIB", "1", 1);
  QApplication app(argc, argv);
  std::freopen("/dev/null", "w", stderr);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
