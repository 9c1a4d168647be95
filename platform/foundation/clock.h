// The device's clock and time zone. Every process of a device reads the
// time here: the host's clock, unless the device's description moves it by
// an offset or stops it at a fixed time (`simctl clock`), which a running
// process follows at its next reading. Unit tests pin both in-process
// instead of depending on when and where they run.
#pragma once

#include <QDateTime>
#include <QTimeZone>
#include <cstdint>
#include <optional>

namespace platform::clock {

// How the device's description sets its clock: the host's time plus
// `offsetMs`, or `fixedMs` when set. `advanceMs` is how far the device was
// moved forward in all, which the monotonic clock counts as well.
struct DeviceClock {
  int64_t offsetMs = 0;
  std::optional<int64_t> fixedMs;
  int64_t advanceMs = 0;
  bool operator==(const DeviceClock&) const = default;
};

// Milliseconds since 1970-01-01 00:00 UTC, by the device's clock.
int64_t nowMs();
// Milliseconds of a clock that never goes back whatever the time is set
// to: the host's monotonic clock plus the device's advances. For telling
// how long ago something happened in this or another process of the host.
int64_t monotonicMs();
QDateTime now();  // in the device's time zone
QTimeZone timeZone();

// A fixed "now" (null: the real clock) and time zone (empty: the system's).
void setNowForTesting(std::optional<int64_t> ms);
void setTimeZoneForTesting(const QByteArray& ianaId);

}  // namespace platform::clock
