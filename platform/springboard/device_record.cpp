#include "platform/springboard/device_record.h"

namespace platform::springboard {
namespace {
template <class T>
void pushRecent(std::vector<T>& entries, T entry) {
  // Shifting at most kRecentLimit entries costs little beside the event itself.
  if (entries.size() >= DeviceRecord::kRecentLimit)
    entries.erase(entries.begin(), entries.end() - (DeviceRecord::kRecentLimit - 1));
  entries.push_back(std::move(entry));
}

template <class T>
void keepRecent(std::vector<T>& entries, T entry, uint64_t& count) {
  ++count;
  pushRecent(entries, std::move(entry));
}
}  // namespace

void DeviceRecord::callHandedOn() {
  std::lock_guard lock(mutex_);
  ++data_.callsHandedOn;
}

void DeviceRecord::bulletinPublished(PublishedBulletin b) {
  std::lock_guard lock(mutex_);
  keepRecent(data_.published, std::move(b), data_.publishedCount);
}

void DeviceRecord::callsEnded() {
  std::lock_guard lock(mutex_);
  ++data_.callsEnded;
}

void DeviceRecord::soundPlayed(uint32_t id, std::string process) {
  std::lock_guard lock(mutex_);
  keepRecent(data_.sounds, id, data_.soundsCount);
  pushRecent(data_.soundProcesses, std::move(process));
}

void DeviceRecord::appLaunched(std::string bundleIdentifier) {
  std::lock_guard lock(mutex_);
  keepRecent(data_.launched, std::move(bundleIdentifier), data_.launchedCount);
}

uint64_t DeviceRecord::callsHandedOn() const {
  std::lock_guard lock(mutex_);
  return data_.callsHandedOn;
}

uint64_t DeviceRecord::bulletinsPublished() const {
  std::lock_guard lock(mutex_);
  return data_.publishedCount;
}

DeviceRecord::Snapshot DeviceRecord::snapshot() const {
  std::lock_guard lock(mutex_);
  return data_;
}

}  // namespace platform::springboard
