#include "platform/foundation/clock.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace platform::clock {
namespace {
std::atomic<bool> gFixed{false};
std::atomic<int64_t> gFixedMs{0};
std::mutex gZoneMutex;
QByteArray& zoneId() {
  static QByteArray id;
  return id;
}
}  // namespace

int64_t nowMs() {
  if (gFixed.load()) return gFixedMs.load();
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

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
