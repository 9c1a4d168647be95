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

// Both are delivered alike and keep posting order: neither center can hold
// a signal back.
enum class Delivery { Plain, Immediate };

// The contract that every center keeps (one test suite holds both to it):
// - Posting never waits and never runs a handler on the spot; handlers run
//   later on the thread of QCoreApplication (the main event loop), one at a
//   time, each poster's signals in the order they were posted. A signal that
//   nobody observes is lost. Posting is safe from any thread.
// - A signal needs a name: posting an empty name is refused with a
//   diagnostic line and reaches nobody.
// - Observing the empty name observes every signal. The observers of one
//   signal run in the order they were added; who hears a signal is decided
//   when it is delivered, not when it is posted.
// - Once removeObserver returns, that handler never runs again, even for a
//   signal already posted or being delivered (an earlier handler of the same
//   signal may remove a later one). An unknown token is ignored.
// - A handler that throws is reported with a diagnostic line; the other
//   observers of the signal and later signals still run, and nothing
//   propagates to the poster or the event loop.
// - A handler may destroy its center; no handler of that center runs after.
class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;
  using Token = uint64_t;

  virtual ~NotificationCenter() = default;

  virtual void post(std::string_view name, const UserInfo& userInfo = {},
                    Delivery delivery = Delivery::Plain) = 0;
  virtual Token addObserver(std::string_view name, Handler handler) = 0;
  virtual void removeObserver(Token token) = 0;
};

// The process's default center (the D-Bus one in a device process, an
// in-process one in unit tests). Set once at process start.
NotificationCenter& defaultCenter();
void setDefaultCenter(std::shared_ptr<NotificationCenter> center);

// A center that lives inside one process: posts queue up and are delivered
// by `deliverPending()`, or by the Qt event loop when a QCoreApplication
// exists.
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
