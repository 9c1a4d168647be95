// The apps' requests to mark their delivered notifications opened: the home
// screen is the records' one writer, so an app that showed a conversation
// asks it here.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/notification_center.h"

namespace platform::springboard {

class OpenedRequests {
 public:
  // `opened` hears each well-formed request: the bundle, and the sender
  // whose conversation was opened (none: all of the bundle's).
  using Opened = std::function<void(const std::string& bundle, const std::optional<std::string>& title)>;
  explicit OpenedRequests(Opened opened);
  ~OpenedRequests();
  OpenedRequests(const OpenedRequests&) = delete;
  OpenedRequests& operator=(const OpenedRequests&) = delete;

  // One request's user info; a malformed one is logged and dropped.
  void handle(const UserInfo& request);

 private:
  Opened opened_;
  NotificationCenter::Token token_ = 0;
};

}  // namespace platform::springboard
