// What one decision reads besides the settings file, handed to it rather
// than looked up. The settings come from two sources on purpose: the
// switches as they were when the library loaded (the mode, "ignoretime",
// the opt-in rules) and the contact entries as the file holds them now
// (the index a decision is given), so that a saved contact counts from the
// next event on while a changed mode waits for the next respring.
#pragma once

#include <QDateTime>
#include <string>
#include <vector>

#include "hook/settings_snapshot.h"

namespace calmora {

struct Decision {
  const SettingsSnapshot& loaded;
  // The messaging apps whose notifications whitelist mode may block.
  const std::vector<std::string>& messagingApps;
  // The device's clock, read once, so that every schedule of one decision
  // is held against the same minute.
  QDateTime now;
};

}  // namespace calmora
