#include "platform/foundation/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <mutex>
#include <string>

namespace platform {
namespace {
std::atomic<LogSink> gSink{nullptr};
std::atomic<void*> gContext{nullptr};

using Clock = std::chrono::steady_clock;
// A line said again and again is said once, and then how often it came
// every so long while it goes on, and once it stops.
constexpr auto kRepeatReport = std::chrono::seconds(kRepeatReportSeconds);

void writeAll(const std::string& out) {
  const char* p = out.data();
  size_t left = out.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n <= 0) return;  // a closed stderr is not worth failing for
    p += n;
    left -= static_cast<size_t>(n);
  }
}

std::string grouped(unsigned long long n) {
  std::string digits = std::to_string(n);
  for (auto at = static_cast<long>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
  return digits;
}

// A log file past its bound is kept as NAME.1 (replacing the one before)
// and written anew: a process's log holds at most twice the bound.
void rotateIfFull() {
  struct stat st {};
  if (::fstat(STDERR_FILENO, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < kMaxDiagnosticBytes) return;
  char target[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/fd/2", target, sizeof target - 1);
  if (n <= 0) return;
  std::string name(target, static_cast<size_t>(n));
  if (name.empty() || name[0] != '/' || name.ends_with(" (deleted)")) return;
  // Another process writing the same log moved it already: this one follows.
  const bool moved = name.ends_with(".1");
  if (moved) name.resize(name.size() - 2);
  else if (::rename(name.c_str(), (name + ".1").c_str()) != 0) return;
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, st.st_mode & 0777);
  if (fd < 0) return;
  ::dup2(fd, STDERR_FILENO);
  ::close(fd);
  if (!moved) writeAll("log: the lines before are in " + name + ".1\n");
}

struct Repeats {
  std::mutex mutex;
  std::string last;
  unsigned long long count = 0;  // said again since the last report
  Clock::time_point since;

  // What to write for `line`: itself, a report of the run it ends, or nothing.
  std::string take(std::string_view line) {
    const auto now = Clock::now();
    std::string out;
    if (line == last) {
      if (count++ == 0) since = now;
      if (now - since < kRepeatReport) return out;
      return report(now);
    }
    out = report(now);
    last.assign(line);
    out.append(line).push_back('\n');
    return out;
  }

  std::string report(Clock::time_point now) {
    if (count == 0) return {};
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - since).count();
    std::string out = last + " (repeated " + grouped(count) + (count == 1 ? " time" : " times") + " in " +
                      std::to_string(seconds) + " s)\n";
    count = 0;
    return out;
  }

  ~Repeats() {
    // The run the process ended in.
    writeAll(report(Clock::now()));
  }
};

Repeats& repeats() {
  static Repeats r;
  return r;
}

}  // namespace

void logLine(std::string_view line) {
  if (LogSink sink = gSink.load()) {
    sink(line, gContext.load());
    return;
  }
  Repeats& r = repeats();
  std::lock_guard lock(r.mutex);
  const std::string out = r.take(line);
  if (out.empty()) return;
  writeAll(out);
  rotateIfFull();
}

void reportRepeats() {
  if (gSink.load()) return;
  Repeats& r = repeats();
  std::lock_guard lock(r.mutex);
  writeAll(r.report(Clock::now()));
}

void setLogSink(LogSink sink, void* context) {
  gContext.store(context);
  gSink.store(sink);
}

}  // namespace platform
