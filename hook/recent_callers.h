// The callers blocked lately, for the repeat-callers rule: a caller who
// tries again within a few minutes is likely urgent. Lives as long as the
// home-screen process; a restart forgets it.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace calmora {

class RecentCallers {
 public:
  // How long a blocked caller is remembered. Tests move the device's clock
  // past it instead of waiting.
  static constexpr int64_t kWindowMs = 3 * 60 * 1000;
  // At most this many callers are remembered, each by at most kKeyBytes of
  // its text; the oldest go first.
  static constexpr size_t kCapacity = 64;
  static constexpr size_t kKeyBytes = 1024;

  // Whether the caller was blocked more than `sameCallMs` (the same call
  // seen again) and at most kWindowMs before `nowMs`.
  bool isRepeat(const std::string& caller, int64_t nowMs, int64_t sameCallMs) const;
  void blocked(const std::string& caller, int64_t nowMs);

 private:
  struct Entry {
    std::string caller;
    int64_t atMs = 0;
  };
  mutable std::mutex mutex_;
  std::deque<Entry> entries_;  // oldest first, one per caller
};

}  // namespace calmora
