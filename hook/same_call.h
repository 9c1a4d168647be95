// One blocked call seen twice (the call event, then its update) leaves one
// record. It is the same call only when the same caller comes through the
// same provider within kSameCallMs by a monotonic clock, which no change of
// the device's time moves, and by the device's clock too (which tests and a
// tester set forward to mean that time has passed). Anything else is a new
// call, logged: dropping one would lose a record.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace calmora::calls {

class SameCallFilter {
 public:
  using Monotonic = std::chrono::steady_clock::time_point;

  // Whether this blocked call is the one blocked just before, seen again;
  // either way it becomes the one to compare the next with.
  bool seenAgain(const std::string& caller, const std::string& provider, Monotonic at, int64_t deviceMs);
  // The next blocked call is a new one, whoever makes it.
  void forget();

  // steady_clock's now, or the instant tests pinned (null: the real clock),
  // so that their device clock alone tells calls apart.
  static Monotonic now();
  static void pinNowForTesting(std::optional<Monotonic> at);

 private:
  struct Last {
    std::string caller, provider;
    Monotonic at;
    int64_t deviceMs = 0;
  };
  std::mutex mutex_;
  std::optional<Last> last_;
};

}  // namespace calmora::calls
