#include "hook/recent_callers.h"

#include <algorithm>

namespace calmora {

namespace {
std::string keyOf(const std::string& caller) { return caller.substr(0, RecentCallers::kKeyBytes); }
}  // namespace

bool RecentCallers::isRepeat(const std::string& caller, int64_t nowMs, int64_t sameCallMs) const {
  const std::string key = keyOf(caller);
  std::lock_guard lock(mutex_);
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.caller == key; });
  if (it == entries_.end()) return false;
  const int64_t since = nowMs - it->atMs;
  return since > sameCallMs && since <= kWindowMs;
}

void RecentCallers::blocked(const std::string& caller, int64_t nowMs) {
  std::string key = keyOf(caller);
  std::lock_guard lock(mutex_);
  std::erase_if(entries_, [&](const Entry& e) { return e.caller == key; });
  if (entries_.size() >= kCapacity) entries_.pop_front();
  entries_.push_back(Entry{std::move(key), nowMs});
}

}  // namespace calmora
