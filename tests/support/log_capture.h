// The diagnostic lines written while a capture lives, from any thread.
#pragma once

#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> lines() const;
  // Answers the lines so far and forgets them.
  std::vector<std::string> take();
  // Whether a line is exactly `line`, starts with `prefix`, or holds every
  // one of `pieces`.
  bool has(std::string_view line) const;
  bool hasPrefix(std::string_view prefix) const;
  bool contains(std::initializer_list<std::string_view> pieces) const;
  bool contains(std::string_view piece) const { return contains({piece}); }
  // The lines, one a line, for a failure message.
  std::string all() const;

 private:
  static void sink(std::string_view line, void* self);
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace testsupport
