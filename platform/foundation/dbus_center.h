// The distributed notification center of a device process: a D-Bus signal
// broadcast on the device's bus, so that every process of the device (and
// any D-Bus client such as dbus-send or dbus-monitor) sees every post.
//
// Wire form: a signal on path "/", interface
// "sim.DistributedNotificationCenter", member "Post", arguments
// (string name, dict of string to string userInfo).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/notification_center.h"

namespace platform {

inline constexpr std::string_view kCenterPath = "/";
inline constexpr std::string_view kCenterInterface = "sim.DistributedNotificationCenter";
inline constexpr std::string_view kCenterMember = "Post";

class DBusCenter : public NotificationCenter {
 public:
  ~DBusCenter() override;

  // Safe from any thread; the message is queued on the connection and this
  // returns at once. Both deliveries are sent alike: the bus has no notion
  // of holding a signal back.
  void post(std::string_view name, const UserInfo& userInfo = {},
            Delivery delivery = Delivery::Plain) override;
  // An empty name observes every notification. Handlers run on the thread
  // of QCoreApplication, which must exist for them to run at all.
  Token addObserver(std::string_view name, Handler handler) override;
  void removeObserver(Token token) override;

  // Waits (one round trip to the bus daemon) until every post made so far on
  // this connection has reached the bus. Answers false if the bus is gone.
  bool sync();
  const std::string& busAddress() const { return address_; }

  struct State;

 private:
  friend std::shared_ptr<DBusCenter> makeDBusCenter(const std::string& busAddress);
  DBusCenter(std::string address, std::shared_ptr<State> state);

  std::string address_;
  std::shared_ptr<State> state_;
};

// Connects to the bus at `busAddress` (empty: the session bus) and subscribes
// to the Post signal; once it returns, posts from anyone reach the observers.
// Answers nullptr, with a diagnostic line, when the bus cannot be reached.
std::shared_ptr<DBusCenter> makeDBusCenter(const std::string& busAddress);

}  // namespace platform
