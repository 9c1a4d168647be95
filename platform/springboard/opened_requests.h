// The apps' requests to mark their delivered notifications opened: the home
// screen is the records' one writer, so an app that showed a conversation
// asks it here.
#pragma once

#include <functional>
#include <string>

#include "platform/foundation/notification_center.h"

namespace platform::springboard {

class OpenedRequests {
 public:
  // `changed` hears the bundle whose notifications were marked, so that its
  // badge is drawn again.
  explicit OpenedRequests(std::function<void(const std::string& bundle)> changed);
  ~OpenedRequests();
  OpenedRequests(const OpenedRequests&) = delete;
  OpenedRequests& operator=(const OpenedRequests&) = delete;

  // One request's user info; a malformed one is logged and dropped.
  void handle(const UserInfo& request);

 private:
  std::function<void(const std::string&)> changed_;
  NotificationCenter::Token token_ = 0;
};

}  // namespace platform::springboard
