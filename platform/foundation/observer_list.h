// The observers of one center and the delivery rules that both centers
// share (see notification_center.h), so that the two cannot drift apart.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/notification_center.h"

namespace platform {

class ObserverList {
 public:
  using Handler = NotificationCenter::Handler;
  using Token = NotificationCenter::Token;

  Token add(std::string_view name, Handler handler);
  void remove(Token token);
  size_t size() const;

  // Runs the observers of `n.name` and those of every name, in the order
  // they were added. Answers false once the list is closed.
  bool deliver(const Notification& n);
  // Called by a center that goes away: nothing runs from then on, not even
  // the rest of a delivery in progress.
  void close();

 private:
  struct Observer {
    Token token;
    std::string name;
    Handler handler;
  };
  bool holds(Token token) const;  // with the mutex held

  mutable std::mutex mutex_;
  std::vector<Observer> observers_;  // in increasing token order
  Token nextToken_ = 1;
  bool closed_ = false;
};

}  // namespace platform
