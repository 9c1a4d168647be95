#include "hook/same_call.h"

#include <algorithm>
#include <atomic>

#include "hook/call_decision.h"

namespace calmora::calls {

namespace {
std::atomic<int64_t> gPinned{0};  // ticks since the clock's epoch; 0: not pinned
}  // namespace

SameCallFilter::Monotonic SameCallFilter::now() {
  const int64_t pinned = gPinned.load();
  return pinned ? Monotonic(Monotonic::duration(pinned)) : std::chrono::steady_clock::now();
}

void SameCallFilter::pinNowForTesting(std::optional<Monotonic> at) {
  gPinned = at ? std::max<int64_t>(1, at->time_since_epoch().count()) : 0;
}

bool SameCallFilter::seenAgain(const std::string& caller, const std::string& provider, Monotonic at, int64_t deviceMs) {
  std::lock_guard lock(mutex_);
  const bool same = last_ && last_->caller == caller && last_->provider == provider &&
                    at - last_->at <= std::chrono::milliseconds(kSameCallMs) && deviceMs >= last_->deviceMs &&
                    deviceMs - last_->deviceMs <= kSameCallMs;
  last_ = Last{caller, provider, at, deviceMs};
  return same;
}

void SameCallFilter::forget() {
  std::lock_guard lock(mutex_);
  last_.reset();
}

}  // namespace calmora::calls
