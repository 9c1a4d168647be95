#include "platform/foundation/observer_list.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/foundation/log.h"

namespace platform {

NotificationCenter::Token ObserverList::add(std::string_view name, Handler handler) {
  std::lock_guard lock(mutex_);
  Token t = nextToken_++;
  observers_.push_back({t, std::string(name), std::move(handler)});
  return t;
}

void ObserverList::remove(Token token) {
  std::lock_guard lock(mutex_);
  std::erase_if(observers_, [&](const Observer& o) { return o.token == token; });
}

size_t ObserverList::size() const {
  std::lock_guard lock(mutex_);
  return observers_.size();
}

bool ObserverList::holds(Token token) const {
  auto it = std::lower_bound(observers_.begin(), observers_.end(), token,
                             [](const Observer& o, Token t) { return o.token < t; });
  return it != observers_.end() && it->token == token;
}

bool ObserverList::deliver(const Notification& n) {
  std::vector<std::pair<Token, Handler>> due;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    for (const auto& o : observers_)
      if (o.name.empty() || o.name == n.name) due.emplace_back(o.token, o.handler);
  }
  for (const auto& [token, handler] : due) {
    {
      // An earlier handler may have removed a later one, or closed the
      // center; what was removed must not run.
      std::lock_guard lock(mutex_);
      if (closed_) return false;
      if (!holds(token)) continue;
    }
    // A throwing handler is its own fault: the others and later signals
    // still run, and nothing unwinds through the event loop.
    try {
      handler(n);
    } catch (const std::exception& e) {
      log("NotificationCenter: an observer of ", n.name, " threw: ", e.what());
    } catch (...) {
      log("NotificationCenter: an observer of ", n.name, " threw");
    }
  }
  std::lock_guard lock(mutex_);
  return !closed_;
}

void ObserverList::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  observers_.clear();
}

}  // namespace platform
