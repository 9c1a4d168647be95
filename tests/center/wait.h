// Test helpers shared by the center tests: an event-loop wait with a
// watchdog, and a capture of the diagnostic lines.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/log.h"

namespace centertest {

// Runs the Qt event loop until `done` holds or `ms` have passed; answers
// whether `done` held, so a lost signal fails the test instead of hanging it.
inline bool runUntil(const std::function<bool()>& done, int ms = 5000) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(5);
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

class LogCapture {
 public:
  LogCapture() { platform::setLogSink(&LogCapture::sink, this); }
  ~LogCapture() { platform::setLogSink(nullptr, nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  size_t count() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
  }
  bool contains(const std::string& text) const {
    std::lock_guard lock(mutex_);
    for (const auto& l : lines_)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }

 private:
  static void sink(std::string_view line, void* self) {
    auto* c = static_cast<LogCapture*>(self);
    std::lock_guard lock(c->mutex_);
    c->lines_.emplace_back(line);
  }
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace centertest
