#include "platform/foundation/log.h"

#include <unistd.h>

#include <atomic>
#include <string>

namespace platform {
namespace {
std::atomic<LogSink> gSink{nullptr};
std::atomic<void*> gContext{nullptr};
}  // namespace

void logLine(std::string_view line) {
  if (LogSink sink = gSink.load()) {
    sink(line, gContext.load());
    return;
  }
  std::string out;
  out.reserve(line.size() + 1);
  out.append(line);
  out.push_back('\n');
  const char* p = out.data();
  size_t left = out.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n <= 0) return;  // a closed stderr is not worth failing for
    p += n;
    left -= static_cast<size_t>(n);
  }
}

void setLogSink(LogSink sink, void* context) {
  gContext.store(context);
  gSink.store(sink);
}

}  // namespace platform
