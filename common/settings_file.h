// The settings file that the pane writes and the hook library reads.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/foundation/error.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/plist_cache.h"

namespace calmora::settings {

// The settings file on this process's device.
std::filesystem::path settingsPath();

// The file read whole, for a one-off look; an empty dictionary when missing
// or unreadable.
platform::plist::Value readOnce();

// One reader-writer of the settings file, owned by whoever reads it often.
class SettingsFile {
 public:
  explicit SettingsFile(std::filesystem::path file);

  const std::filesystem::path& path() const { return path_; }
  // The file as it is on disk now, parsed again only when it has been
  // replaced since the last call.
  std::shared_ptr<const platform::plist::CachedDictionary::Snapshot> current() { return cache_.get(); }
  // Replaces the file atomically. A file that is there but cannot be read is
  // kept aside first (plist::keepUnreadableAside), and left as it is when
  // that fails.
  std::optional<platform::Error> write(platform::plist::Ref settings);

 private:
  std::filesystem::path path_;
  platform::plist::CachedDictionary cache_;
};

}  // namespace calmora::settings
