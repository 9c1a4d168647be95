#include "tests/support/log_capture.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/log.h"

namespace testsupport {

LogCapture::LogCapture() { platform::setLogSink(&LogCapture::sink, this); }
LogCapture::~LogCapture() { platform::setLogSink(nullptr, nullptr); }

void LogCapture::sink(std::string_view line, void* self) {
  auto* c = static_cast<LogCapture*>(self);
  std::lock_guard lock(c->mutex_);
  c->lines_.emplace_back(line);
}

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::vector<std::string> LogCapture::take() {
  std::lock_guard lock(mutex_);
  return std::exchange(lines_, {});
}

bool LogCapture::has(std::string_view line) const {
  std::lock_guard lock(mutex_);
  return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

bool LogCapture::hasPrefix(std::string_view prefix) const {
  std::lock_guard lock(mutex_);
  return std::any_of(lines_.begin(), lines_.end(), [&](const std::string& l) { return l.starts_with(prefix); });
}

bool LogCapture::contains(std::initializer_list<std::string_view> pieces) const {
  std::lock_guard lock(mutex_);
  return std::any_of(lines_.begin(), lines_.end(), [&](const std::string& l) {
    return std::all_of(pieces.begin(), pieces.end(), [&](std::string_view p) { return l.find(p) != l.npos; });
  });
}

std::string LogCapture::all() const {
  std::lock_guard lock(mutex_);
  std::string s;
  for (const auto& l : lines_) s += l.substr(0, 200) + "\n";
  return s;
}

}  // namespace testsupport
