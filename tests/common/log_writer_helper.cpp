// A second process writing the blocked-calls log, for the tests that run
// several writers at once:
//   log_writer_helper ROOT append WRITER COUNT ICONBYTES   COUNT call records, "From" = wWRITER-J
//   log_writer_helper ROOT mark COUNT                       mark-one and mark-all requests
//   log_writer_helper ROOT empty COUNT PAUSE_MS             empties the log as the app does, printing
//                                                           the "From" of each record it drops
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

int append(int writer, int count, size_t iconBytes) {
  for (int j = 0; j < count; ++j) {
    std::string from = "w" + std::to_string(writer) + "-" + std::to_string(j);
    (void)calmora::logs::appendCall({"10:30:00 07-12-2026", "Phone Call from " + from, "com.apple.mobilephone",
                                     std::string(iconBytes, 'A'), from, "Phone"});
  }
  return 0;
}

int mark(int count) {
  std::mt19937 rng(static_cast<unsigned>(::getpid()));
  for (int i = 0; i < count; ++i) {
    if (i % 10 == 9) {
      (void)calmora::logs::markAllRead(Log::Calls);
      continue;
    }
    int64_t n = calmora::logs::blockedCallsCount();
    (void)calmora::logs::markRead(
        Log::Calls, std::to_string(n > 0 ? static_cast<int64_t>(rng() % static_cast<uint64_t>(n)) : 0));
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  platform::setDeviceRoot(argv[1]);
  std::string verb = argv[2];
  auto arg = [&](int i) { return i < argc ? std::atoi(argv[i]) : 0; };
  if (verb == "append") return append(arg(3), arg(4), static_cast<size_t>(arg(5)));
  if (verb == "mark") return mark(arg(3));
  if (verb == "empty") return empty(arg(3), arg(4));
  return 2;
}
