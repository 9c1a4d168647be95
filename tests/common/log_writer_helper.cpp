// A second process writing the blocked-calls log, for the tests that run
// several writers at once:
//   log_writer_helper ROOT append WRITER COUNT ICONBYTES   COUNT call records, "From" = wWRITER-J
//   log_writer_helper ROOT mark COUNT                       mark-one and mark-all requests
//   log_writer_helper ROOT empty COUNT PAUSE_MS             empties the log as the app does, printing
//                                                           the "From" of each record it drops
//   log_writer_helper ROOT delete COUNT PAUSE_MS            deletes one record at a time as the app's
//                                                           swipe does, from a read made PAUSE_MS
//                                                           earlier, printing the "From" of each
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "common/log_store.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/plist.h"

namespace {

using calmora::logs::Log;

// A write that fails ends the helper with status 3, which the tests check.
template <class T>
bool failed(const platform::Result<T>& done) {
  if (done) return false;
  std::fprintf(stderr, "log_writer_helper: %s\n", done.error().describe().c_str());
  return true;
}

int append(int writer, int count, size_t iconBytes) {
  for (int j = 0; j < count; ++j) {
    std::string from = "w" + std::to_string(writer) + "-" + std::to_string(j);
    if (failed(calmora::logs::appendCall({"10:30:00 07-12-2026", "Phone Call from " + from, "com.apple.mobilephone",
                                          std::string(iconBytes, 'A'), from, "Phone"})))
      return 3;
  }
  return 0;
}

int mark(int count) {
  std::mt19937 rng(static_cast<unsigned>(::getpid()));
  for (int i = 0; i < count; ++i) {
    if (i % 10 == 9) {
      if (failed(calmora::logs::markAllRead(Log::Calls))) return 3;
      continue;
    }
    int64_t n = calmora::logs::blockedCallsCount();
    if (failed(calmora::logs::markRead(
            Log::Calls, std::to_string(n > 0 ? static_cast<int64_t>(rng() % static_cast<uint64_t>(n)) : 0))))
      return 3;
  }
  return 0;
}

int empty(int count, int pauseMs) {
  for (int i = 0; i < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    auto log = calmora::logs::empty(calmora::logs::logPath(Log::Calls));
    if (!log) return 3;
    log->dict.ref().forEach([](std::string_view, platform::plist::Ref value) {
      std::printf("%s\n", value["From"].text().value_or("?").c_str());
      return true;
    });
    std::fflush(stdout);
  }
  return 0;
}

int remove(int count, int pauseMs) {
  std::mt19937 rng(static_cast<unsigned>(::getpid()));
  const auto path = calmora::logs::logPath(Log::Calls);
  for (int i = 0; i < count; ++i) {
    auto shown = platform::plist::readDictionary(path);
    if (shown.dict.size() == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
      continue;
    }
    const auto key = static_cast<int64_t>(rng() % shown.dict.size());
    platform::plist::Ref r = shown.dict[std::to_string(key)];
    auto text = [&](std::string_view k) { return r[k].text().value_or(""); };
    calmora::logs::RecordContent content{text("Date"),    text("Data"), text("From"),   text("appBID"),
                                         text("appName"), text("msg"),  text("iconData")};
    // The log goes on changing between the read and the swipe.
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    auto removed = calmora::logs::removeRecord(path, key, content);
    if (!removed) return 3;
    if (*removed) std::printf("%s\n", content.from.c_str());
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  platform::setDeviceRoot(argv[1]);
  std::string verb = argv[2];
  auto arg = [&](int i) { return i < argc ? std::atoi(argv[i]) : 0; };
  if (verb == "append") return append(arg(3), arg(4), static_cast<size_t>(arg(5)));
  if (verb == "mark") return mark(arg(3));
  if (verb == "empty") return empty(arg(3), arg(4));
  if (verb == "delete") return remove(arg(3), arg(4));
  return 2;
}
