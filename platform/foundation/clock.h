// The device's clock and time zone. Tests pin both instead of depending on
// when and where they run.
#pragma once

#include <QDateTime>
#include <QTimeZone>
#include <cstdint>
#include <optional>

namespace platform::clock {

// Milliseconds since 1970-01-01 00:00 UTC.
int64_t nowMs();
QDateTime now();  // in the device's time zone
QTimeZone timeZone();

// A fixed "now" (null: the real clock) and time zone (empty: the system's).
void setNowForTesting(std::optional<int64_t> ms);
void setTimeZoneForTesting(const QByteArray& ianaId);

}  // namespace platform::clock
