// What one decision reads besides the settings file, handed to it rather
// than looked up. The settings come from two sources on purpose: the
// switches as they were when the library loaded (the mode, "ignoretime",
// the opt-in rules) and the contact entries as the file holds them now
// (the index a decision is given), so that a saved contact counts from the
// next event on while a changed mode waits for the next respring.
#pragma once

#include <QDateTime>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hook/settings_snapshot.h"
#include "platform/foundation/clock.h"

namespace calmora {

class DecisionInputs {
 public:
  DecisionInputs(const SettingsSnapshot& loaded, const std::vector<std::string>& messagingApps, int64_t nowMs)
      : loaded(loaded), messagingApps(messagingApps), nowMs(nowMs) {}

  const SettingsSnapshot& loaded;
  // The messaging apps whose notifications whitelist mode may block.
  const std::vector<std::string>& messagingApps;
  // The device's clock, read once, so that every schedule of one decision
  // is held against the same minute.
  const int64_t nowMs;

  // That instant in the device's time zone, made at the first question:
  // most decisions ask none, and the zone is dear to look up.
  const QDateTime& localNow() const {
    if (!local_) local_ = QDateTime::fromMSecsSinceEpoch(nowMs, platform::clock::timeZone());
    return *local_;
  }

 private:
  mutable std::optional<QDateTime> local_;
};

}  // namespace calmora
