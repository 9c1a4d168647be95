// Two writers of one settings file at once: another process adds keys one
// at a time while this one toggles "isTweakEnabled" as the settings pane's
// switch does. Every key added must be there at the end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace soak {

struct SettingsWritersOutcome {
  int keysAdded = 0, keysKept = 0, toggles = 0;
  std::vector<std::string> problems;
};

// Writes `file` (a file of its own, not the device's settings) from both
// sides until the other process has added `keys` keys.
SettingsWritersOutcome runSettingsWriters(const std::filesystem::path& file, int keys);

}  // namespace soak
