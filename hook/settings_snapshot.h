// The global settings, read once when the library loads.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/foundation/plist.h"
#include "common/log_trim.h"
#include "common/settings_file.h"
#include "platform/foundation/plist_cache.h"
#include "platform/foundation/host_values.h"

namespace calmora {

struct SettingsSnapshot {
  int32_t methodspecifier = 0;  // 0 blocklist mode, 1 whitelist mode
  bool ignoretime = false;
  uint32_t selectedSound = 1000;
  std::optional<platform::Color> chosenColor;
  double coordinatesForX = 95.0;
  double coordinatesForY = 95.0;
  size_t logLimit = logs::kKeepAll;  // records each log keeps
  // The opt-in rules.
  bool overnightWindows = false;
  bool blockUnknown = false;
  bool repeatCallers = false;

  bool operator==(const SettingsSnapshot&) const = default;
};

// The settings file, read whole; an empty dictionary when missing or
// unreadable.
platform::plist::Value readSettings();

using SettingsContent = std::shared_ptr<const platform::plist::CachedDictionary::Snapshot>;

// The device's settings file, parsed again only when the pane has replaced
// it. Made at the first read, once the device root is known.
class SettingsFileCache {
 public:
  SettingsContent get();

 private:
  std::mutex mutex_;
  std::unique_ptr<settings::SettingsFile> file_;
};

// Settings content over a dictionary in hand rather than the file.
SettingsContent settingsContentOf(platform::plist::Value dict);

// Fills a snapshot from the settings dictionary; the caller learns whether
// the master switch is on.
SettingsSnapshot snapshotFrom(platform::plist::Ref settings, bool* tweakEnabled = nullptr);

// The marker colour: "#" removed, a hexadecimal scan, then the length of the
// text decides AARRGGBB, RRGGBB, RGB or opaque white. Nothing when no digit
// can be scanned.
std::optional<platform::Color> parseColor(std::string_view text);

// "logLimit": how many records each log keeps. Absent or 0 keeps them all;
// another type or a negative number too, with a diagnostic line.
size_t logLimitFrom(platform::plist::Ref settings);

// An opt-in switch: true only for a boolean true. Anything else but absence
// reads as false with a diagnostic line.
bool optInSwitch(platform::plist::Ref settings, std::string_view key);

}  // namespace calmora
