#include <QCoreApplication>
#include <QMetaObject>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/observer_list.h"

namespace platform {

struct InProcessCenter::State {
  ObserverList observers;
  std::mutex mutex;  // guards the queue and `scheduled`
  std::deque<Notification> queue;
  bool scheduled = false;

  std::optional<Notification> next() {
    std::lock_guard lock(mutex);
    if (queue.empty()) return std::nullopt;
    Notification n = std::move(queue.front());
    queue.pop_front();
    return n;
  }

  // Takes the state by value, as a handler may destroy the center meanwhile.
  static size_t deliverAll(std::shared_ptr<State> state) {
    size_t delivered = 0;
    while (auto n = state->next()) {
      ++delivered;
      if (!state->observers.deliver(*n)) break;
    }
    return delivered;
  }
};

InProcessCenter::InProcessCenter() : state_(std::make_shared<State>()) {}
InProcessCenter::~InProcessCenter() { state_->observers.close(); }

void InProcessCenter::post(std::string_view name, const UserInfo& userInfo, Delivery) {
  if (name.empty()) {
    log("InProcessCenter: refused a post without a name");
    return;
  }
  bool schedule = false;
  {
    std::lock_guard lock(state_->mutex);
    state_->queue.push_back(Notification{std::string(name), userInfo});
    if (QCoreApplication::instance() && !state_->scheduled) schedule = state_->scheduled = true;
  }
  if (!schedule) return;
  std::weak_ptr<State> weak = state_;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [weak] {
        if (auto s = weak.lock()) {
          {
            std::lock_guard lock(s->mutex);
            s->scheduled = false;
          }
          State::deliverAll(s);
        }
      },
      Qt::QueuedConnection);
}

NotificationCenter::Token InProcessCenter::addObserver(std::string_view name, Handler handler) {
  return state_->observers.add(name, std::move(handler));
}

void InProcessCenter::removeObserver(Token token) { state_->observers.remove(token); }

size_t InProcessCenter::deliverPending() { return State::deliverAll(state_); }

size_t InProcessCenter::observerCount() const { return state_->observers.size(); }

namespace {
std::shared_ptr<NotificationCenter>& centerStorage() {
  static std::shared_ptr<NotificationCenter> center;
  return center;
}
}  // namespace

NotificationCenter& defaultCenter() {
  auto& c = centerStorage();
  if (!c) c = std::make_shared<InProcessCenter>();
  return *c;
}

void setDefaultCenter(std::shared_ptr<NotificationCenter> center) { centerStorage() = std::move(center); }

}  // namespace platform
