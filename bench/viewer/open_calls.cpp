// The Calls list on a log of 10,000 records with real icons, one run each,
// against a plain read of the file's bytes into memory and a streaming read
// (as `cat FILE > /dev/null`; warm cache): opening the list to its first
// screen of rows laid out and painted, showing the newest record (its time,
// and the CPU time of all its threads), the private memory it took,
// scrolling to the last record and back, a reload after one appended record,
// and a search typed one keystroke at a time. Prints one line per figure.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "viewer/event_list_controller.h"
#include "bench/bench_support.h"
#include "bench/calls_log.h"
#include "common/names.h"
#include "platform/apps/default_apps.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/plist.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/window.h"

namespace fs = std::filesystem;
using namespace platform::uikit;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long residentKb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// CPU time of the whole process, every thread, user and system.
double cpuMs() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// Memory of this process that no file backs.
long privateKb() {
  long kb = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "RssAnon: %ld", &kb) == 1) break;
    std::fclose(f);
  }
  return kb;
}

// The file read through one small buffer, nothing kept.
double streamingReadMs(const fs::path& file) {
  double best = 1e9;
  static char buffer[128 * 1024];
  for (int i = 0; i < 3; ++i) {
    auto start = Clock::now();
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return 0;
    while (std::fread(buffer, 1, sizeof buffer, f) == sizeof buffer) {
    }
    std::fclose(f);
    best = std::min(best, msSince(start));
  }
  return best;
}

double plainReadMs(const fs::path& file) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    auto start = Clock::now();
    auto bytes = platform::readFile(file, platform::kMaxLogBytes);
    best = std::min(best, msSince(start));
    if (!bytes) std::fprintf(stderr, "cannot read %s\n", file.c_str());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("QT_NO_GLIB", "1", 1);
  QApplication qapp(argc, argv);
  platform::setDefaultCenter(std::make_shared<platform::InProcessCenter>());
  const fs::path root = fs::temp_directory_path() / ("calmora-viewer-bench-" + std::to_string(::getpid()));
  fs::create_directories(root / "var/mobile/Library/Preferences");
  platform::setDeviceRoot(root);
  const int records = argc > 1 ? std::atoi(argv[1]) : 10000;

  platform::apps::installDefaultApps(root);
  const auto icons = calmora::bench::installedAppIcons(root);
  if (icons.empty()) return std::fprintf(stderr, "viewer_bench: the device has no app icons\n"), 1;
  auto log = calmora::bench::callsLog(records, icons);
  const fs::path file = platform::devicePath(calmora::names::kBlockedCallsPath);
  calmora::bench::must(platform::plist::writeXmlAtomically(file, log.ref()));
  const double fileMb = double(fs::file_size(file)) / 1e6;
  const double readMs = plainReadMs(file);
  const double streamCpuStart = cpuMs();
  const double streamMs = streamingReadMs(file);
  const double streamCpuMs = (cpuMs() - streamCpuStart) / 3;
  const long baseKb = residentKb();
  const long basePrivateKb = privateKb();

  // The log mapped and indexed alone, by a reader of its own (best of 3).
  double indexMs = 1e9;
  int64_t indexed = 0;
  for (int i = 0; i < 3; ++i) {
    auto start = Clock::now();
    indexed = calmora::viewer::EventLog(file).current().count();
    indexMs = std::min(indexMs, msSince(start));
  }

  const double openCpuStart = cpuMs();
  auto start = Clock::now();
  auto window = make<UIWindow>(CGRect(0, 0, 375, 667));
  auto calls = std::make_shared<calmora::viewer::EventListController>(calmora::viewer::callsKind());
  window->setRootViewController(std::make_shared<UINavigationController>(calls));
  window->makeKeyAndVisible();
  window->layoutIfNeeded();
  // Painted once, as the screen shows it: the window's first exposure.
  QApplication::processEvents();
  const double openMs = msSince(start);
  const double openCpuMs = cpuMs() - openCpuStart;
  const long openPrivateKb = privateKb();
  UITableView* table = calls->tableView();
  const uint64_t firstScreen = table->cellsConfigured();
  // What it shows: every record counted, the newest on top.
  const auto* firstTop = table->cellForRowAtIndexPath({0, 0});
  const bool newestOnTop = table->numberOfRowsInSection(0) == records && firstTop &&
                           firstTop->textLabel()->text() == QString("Call from Contact %1").arg(records - 1);

  start = Clock::now();
  table->scrollToRowAtIndexPath({0, records - 1}, UITableViewScrollPosition::Bottom, false);
  table->scrollToRowAtIndexPath({0, 0}, UITableViewScrollPosition::Top, false);
  const double scrollMs = msSince(start);
  const long residentAfterKb = residentKb();
  const uint64_t readsAfterScroll = calls->eventLog().reads();

  log.set(std::to_string(records), calmora::bench::callRecord(records, icons[0]));
  calmora::bench::must(platform::plist::writeXmlAtomically(file, log.ref()));
  start = Clock::now();
  calls->refreshTable();
  table->layoutIfNeeded();
  auto* top = table->cellForRowAtIndexPath({0, 0});
  const bool shown = top && top->textLabel()->text() == QString("Call from Contact %1").arg(records);
  const double refreshMs = msSince(start);

  // A search typed as a person types it, each keystroke's rows laid out.
  const QString typed = "contact 99";
  double slowestKeyMs = 0, firstKeyMs = 0;
  int64_t matches = 0;
  for (int n = 1; n <= typed.size(); ++n) {
    start = Clock::now();
    calls->search(typed.left(n));
    table->layoutIfNeeded();
    const double ms = msSince(start);
    if (n == 1) firstKeyMs = ms;
    slowestKeyMs = std::max(slowestKeyMs, ms);
    matches = table->numberOfRowsInSection(0);
  }
  calls->search(QString());

  std::printf("log: %d records, %.1f MB\n", records, fileMb);
  std::printf("plain read: %.1f ms; streaming read: %.1f ms\n", readMs, streamMs);
  std::printf(
      "open to first screen: %.1f ms (%.2fx the streaming read, %.2fx the plain read), %llu rows configured, "
      "newest record on top: %s\n",
      openMs, openMs / streamMs, openMs / readMs, (unsigned long long)firstScreen, newestOnTop ? "yes" : "no");
  // On a busy machine the times above wait for a core; the CPU they took does not.
  std::printf("CPU time: opening %.1f ms in all threads, a streaming read %.1f ms (%.2fx)\n", openCpuMs, streamCpuMs,
              openCpuMs / streamCpuMs);
  std::printf("the log mapped and indexed alone: %.1f ms (%.2fx the streaming read), %lld records\n", indexMs,
              indexMs / streamMs, (long long)indexed);
  std::printf("private memory growth at the first screen: %.1f MB\n", double(openPrivateKb - basePrivateKb) / 1024);
  std::printf("scroll to last record and back: %.1f ms, %llu rows configured in all, log read %llu time(s)\n",
              scrollMs, (unsigned long long)table->cellsConfigured(), (unsigned long long)readsAfterScroll);
  std::printf("resident growth while open and scrolled: %.1f MB (log %.1f MB)\n",
              double(residentAfterKb - baseKb) / 1024, fileMb);
  std::printf("reload after one append: %.1f ms (%.2fx), new record on top: %s, log read %llu time(s) in all\n",
              refreshMs, refreshMs / readMs, shown ? "yes" : "no", (unsigned long long)calls->eventLog().reads());
  std::printf("search \"%s\", %d keystrokes: first %.1f ms, slowest %.1f ms (%.2fx the plain read), %lld rows\n",
              typed.toUtf8().constData(), int(typed.size()), firstKeyMs, slowestKeyMs, slowestKeyMs / readMs,
              (long long)matches);
  window.reset();
  std::error_code ec;
  fs::remove_all(root, ec);
  return shown && newestOnTop ? 0 : 1;
}
