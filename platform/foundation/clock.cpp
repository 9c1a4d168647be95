#include "platform/foundation/clock.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/plist_cache.h"

namespace platform::clock {
namespace {
std::atomic<bool> gFixed{false};
std::atomic<int64_t> gFixedMs{0};
std::mutex gZoneMutex;
QByteArray& zoneId() {
  static QByteArray id;
  return id;
}

// The clock set in the description of this process's device, read again
// only when the file has been replaced: one stat a reading. A process
// without a device (the root left at ".") keeps the host's clock.
DeviceClock deviceClock() {
  static std::mutex mutex;
  static std::filesystem::path root;
  static std::unique_ptr<plist::CachedDictionary> file;
  static uint64_t generation = UINT64_MAX;
  static DeviceClock clock;
  const std::filesystem::path& current = deviceRoot();
  if (current.empty() || current == ".") return {};
  std::lock_guard lock(mutex);
  if (!file || root != current) {
    root = current;
    file = std::make_unique<plist::CachedDictionary>(root / kDeviceDescriptionFile);
    generation = UINT64_MAX;
  }
  auto snapshot = file->get();
  if (snapshot->generation != generation) {
    generation = snapshot->generation;
    clock = deviceClockOf(snapshot->dict.ref());
  }
  return clock;
}

int64_t since(auto epoch) {
  using namespace std::chrono;
  return duration_cast<milliseconds>(epoch.time_since_epoch()).count();
}
}  // namespace

int64_t nowMs() {
  if (gFixed.load()) return gFixedMs.load();
  const DeviceClock clock = deviceClock();
  return clock.fixedMs ? *clock.fixedMs : since(std::chrono::system_clock::now()) + clock.offsetMs;
}

int64_t monotonicMs() { return since(std::chrono::steady_clock::now()) + deviceClock().advanceMs; }

QTimeZone timeZone() {
  std::lock_guard lock(gZoneMutex);
  if (zoneId().isEmpty()) return QTimeZone::systemTimeZone();
  return QTimeZone(zoneId());
}

QDateTime now() { return QDateTime::fromMSecsSinceEpoch(nowMs(), timeZone()); }

void setNowForTesting(std::optional<int64_t> ms) {
  gFixedMs.store(ms.value_or(0));
  gFixed.store(ms.has_value());
}

void setTimeZoneForTesting(const QByteArray& ianaId) {
  std::lock_guard lock(gZoneMutex);
  zoneId() = ianaId;
}

}  // namespace platform::clock
