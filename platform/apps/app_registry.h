// The device's installed apps, read from ROOT/Applications/NAME.app/Info.plist.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::apps {

struct AppInfo {
  std::string bundleIdentifier;
  std::string displayName;         // empty when the bundle names none
  std::filesystem::path iconFile;  // the icon PNG inside the bundle; empty when none is readable
  std::filesystem::path bundle;    // the NAME.app folder
  // CFBundleExecutable as a program file of the bundle itself; empty when
  // the bundle names none or it is not an executable regular file there.
  std::filesystem::path executable;
};

class AppRegistry {
 public:
  explicit AppRegistry(std::filesystem::path root);

  std::optional<AppInfo> app(std::string_view bundleIdentifier) const;  // exact match
  // Sorted by display name (case-insensitive), then identifier: the home
  // screen's grid order.
  std::vector<AppInfo> apps() const;
  // Rescans now. Lookups also rescan by themselves when the Applications
  // folder's modification time changed, which covers apps added or removed
  // but not an Info.plist edited in place.
  void reload();

  const std::filesystem::path& applicationsFolder() const { return applications_; }

 private:
  void ensureCurrentLocked() const;
  void scanLocked() const;

  std::filesystem::path applications_;
  mutable std::mutex mutex_;
  mutable bool scanned_ = false;
  mutable std::optional<std::filesystem::file_time_type> scannedTime_;
  mutable std::vector<AppInfo> apps_;  // kept in grid order
};

// Whether an identifier can name the app's files (DEVICE/run/ID.sock and
// the like): letters, digits, '.', '-' and '_', not starting with '.', at
// most 100 bytes.
bool isValidBundleIdentifier(std::string_view identifier);

// Reads one bundle; nothing (with a diagnostic line) when it cannot serve as
// an app.
std::optional<AppInfo> readAppBundle(const std::filesystem::path& bundle);

}  // namespace platform::apps
