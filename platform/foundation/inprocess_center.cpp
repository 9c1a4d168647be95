#include <QCoreApplication>
#include <QMetaObject>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/foundation/notification_center.h"

namespace platform {

struct InProcessCenter::State {
  mutable std::mutex mutex;
  std::deque<Notification> queue;
  std::vector<std::pair<Token, std::pair<std::string, Handler>>> observers;
  Token nextToken = 1;
  bool scheduled = false;
};

InProcessCenter::InProcessCenter() : state_(std::make_shared<State>()) {}
InProcessCenter::~InProcessCenter() = default;

void InProcessCenter::post(std::string_view name, const UserInfo& userInfo, Delivery) {
  bool schedule = false;
  {
    std::lock_guard lock(state_->mutex);
    state_->queue.push_back(Notification{std::string(name), userInfo});
    if (QCoreApplication::instance() && !state_->scheduled) schedule = state_->scheduled = true;
  }
  if (schedule) {
    std::weak_ptr<State> weak = state_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, weak] {
          if (auto s = weak.lock()) {
            {
              std::lock_guard lock(s->mutex);
              s->scheduled = false;
            }
            deliverPending();
          }
        },
        Qt::QueuedConnection);
  }
}

NotificationCenter::Token InProcessCenter::addObserver(std::string_view name, Handler handler) {
  std::lock_guard lock(state_->mutex);
  Token t = state_->nextToken++;
  state_->observers.push_back({t, {std::string(name), std::move(handler)}});
  return t;
}

void InProcessCenter::removeObserver(Token token) {
  std::lock_guard lock(state_->mutex);
  std::erase_if(state_->observers, [&](const auto& o) { return o.first == token; });
}

size_t InProcessCenter::deliverPending() {
  size_t delivered = 0;
  for (;;) {
    Notification n;
    std::vector<Handler> handlers;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->queue.empty()) return delivered;
      n = std::move(state_->queue.front());
      state_->queue.pop_front();
      for (const auto& [token, entry] : state_->observers)
        if (entry.first == n.name) handlers.push_back(entry.second);
    }
    ++delivered;
    for (const auto& h : handlers) h(n);
  }
}

size_t InProcessCenter::observerCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->observers.size();
}

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
