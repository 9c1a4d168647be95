// The distributed notification center: named signals with a small
// dictionary of text values, broadcast to every process of the device.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

using UserInfo = std::map<std::string, std::string>;

struct Notification {
  std::string name;
  UserInfo userInfo;
};

enum class Delivery { Plain, Immediate };

class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;
  using Token = uint64_t;

  virtual ~NotificationCenter() = default;

  // Never waits for an observer; a signal nobody observes is lost.
  virtual void post(std::string_view name, const UserInfo& userInfo = {},
                    Delivery delivery = Delivery::Plain) = 0;
  // The handler runs on the process's main event loop, one signal at a time,
  // in the order the signals arrive.
  virtual Token addObserver(std::string_view name, Handler handler) = 0;
  virtual void removeObserver(Token token) = 0;
};

// The process's default center (the D-Bus one in a device process, an
// in-process one in unit tests). Set once at process start.
NotificationCenter& defaultCenter();
void setDefaultCenter(std::shared_ptr<NotificationCenter> center);

// A center that lives inside one process: posts queue up and are delivered
// by `deliverPending()`, or by the Qt event loop when one is running.
class InProcessCenter : public NotificationCenter {
 public:
  InProcessCenter();
  ~InProcessCenter() override;
  void post(std::string_view name, const UserInfo& userInfo, Delivery delivery) override;
  Token addObserver(std::string_view name, Handler handler) override;
  void removeObserver(Token token) override;

  // Delivers every queued signal, and those the handlers post meanwhile.
  // Returns how many were delivered.
  size_t deliverPending();
  size_t observerCount() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace platform
