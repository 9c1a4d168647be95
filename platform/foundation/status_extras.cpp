#include "platform/foundation/status_extras.h"

namespace platform {

void StatusExtras::set(std::string_view name, int64_t value) {
  std::lock_guard lock(mutex_);
  if (auto it = values_.find(name); it != values_.end())
    it->second = value;
  else
    values_.emplace(std::string(name), value);
}

std::map<std::string, int64_t> StatusExtras::values() const {
  std::lock_guard lock(mutex_);
  return {values_.begin(), values_.end()};
}

namespace {
struct Installed {
  std::mutex mutex;
  std::shared_ptr<StatusExtras> extras;
};
Installed& installed() {
  static Installed i;
  return i;
}
}  // namespace

std::shared_ptr<StatusExtras> statusExtras() {
  auto& i = installed();
  std::lock_guard lock(i.mutex);
  if (!i.extras) i.extras = std::make_shared<StatusExtras>();
  return i.extras;
}

void setStatusExtras(std::shared_ptr<StatusExtras> extras) {
  auto& i = installed();
  std::lock_guard lock(i.mutex);
  i.extras = std::move(extras);
}

}  // namespace platform
