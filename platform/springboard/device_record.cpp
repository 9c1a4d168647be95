#include "platform/springboard/device_record.h"

namespace host {

void DeviceRecord::callHandedOn() {
  std::lock_guard lock(mutex_);
  ++data_.callsHandedOn;
}

void DeviceRecord::bulletinPublished(PublishedBulletin b) {
  std::lock_guard lock(mutex_);
  data_.published.push_back(std::move(b));
}

void DeviceRecord::callsEnded() {
  std::lock_guard lock(mutex_);
  ++data_.callsEnded;
}

void DeviceRecord::soundPlayed(uint32_t id) {
  std::lock_guard lock(mutex_);
  data_.sounds.push_back(id);
}

void DeviceRecord::appLaunched(std::string bundleIdentifier) {
  std::lock_guard lock(mutex_);
  data_.launched.push_back(std::move(bundleIdentifier));
}

uint64_t DeviceRecord::callsHandedOn() const {
  std::lock_guard lock(mutex_);
  return data_.callsHandedOn;
}

uint64_t DeviceRecord::bulletinsPublished() const {
  std::lock_guard lock(mutex_);
  return data_.published.size();
}

DeviceRecord::Snapshot DeviceRecord::snapshot() const {
  std::lock_guard lock(mutex_);
  return data_;
}

}  // namespace host
