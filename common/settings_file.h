// The settings file that the pane writes and the hook library reads.
#pragma once

#include <filesystem>
#include <functional>
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

// The lock every writer of the settings file holds around its whole
// read-change-write, as the logs' writers hold theirs.
std::filesystem::path lockPath(const std::filesystem::path& settingsFile);

// Changes the settings file at `file`: under its writers' lock, `change` gets
// the file as it is now (an empty dictionary when missing or unreadable) and
// what it leaves replaces the file atomically. A file that is there but
// cannot be read is kept aside first (plist::keepUnreadableAside), and left
// as it is when that fails. A writer that takes no lock (a person's editor)
// and replaces the file meanwhile is noticed by the file's version before
// the rename; the change is then made again on what that writer left.
using SettingsChange = std::function<void(platform::plist::Value& settings)>;
platform::Result<void> update(const std::filesystem::path& file, const SettingsChange& change);

// One reader-writer of the settings file, owned by whoever reads it often.
class SettingsFile {
 public:
  explicit SettingsFile(std::filesystem::path file);

  const std::filesystem::path& path() const { return path_; }
  // The file as it is on disk now, parsed again only when it has been
  // replaced since the last call.
  std::shared_ptr<const platform::plist::CachedDictionary::Snapshot> current() { return cache_.get(); }

 private:
  std::filesystem::path path_;
  platform::plist::CachedDictionary cache_;
};

}  // namespace calmora::settings
