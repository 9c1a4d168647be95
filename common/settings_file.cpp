#include "common/settings_file.h"

#include "common/names.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/file_lock.h"
#include "platform/foundation/log.h"

namespace calmora::settings {

namespace plist = platform::plist;

std::filesystem::path settingsPath() { return platform::devicePath(names::kSettingsPath); }

plist::Value readOnce() { return plist::readDictionary(settingsPath()).dict; }

std::filesystem::path lockPath(const std::filesystem::path& settingsFile) {
  auto p = settingsFile;
  p += names::kLogLockSuffix;
  return p;
}

namespace {
// How often a change is made again on a file that a writer without the lock
// keeps replacing before the write gives up.
constexpr int kAttempts = 50;

// One read-change-write; Changed when the file was replaced after it was read.
platform::Result<void> updateOnce(const std::filesystem::path& file, const SettingsChange& change) {
  std::optional<platform::FileVersion> version = platform::fileVersion(file);
  auto read = plist::readDictionary(file);
  if (platform::fileVersion(file) != version)
    return platform::Error{platform::ErrorCode::Changed, 0, "read " + file.string()};
  if (read.state == plist::ReadState::Unreadable) {
    TRY(plist::keepUnreadableAside(file));
    // Kept aside, the file is gone; an empty one holds nothing to keep and
    // stays where it is, at the version read.
    if (platform::fileVersion(file) != version) version.reset();
  }
  change(read.dict);
  return platform::replaceIfUnchanged(file, version, plist::toXml(read.dict.ref()));
}
}  // namespace

platform::Result<void> update(const std::filesystem::path& file, const SettingsChange& change) {
  auto lock = platform::ExclusiveFileLock::acquire(lockPath(file));
  if (!lock) return lock.error();
  // Temporaries of a writer killed mid-write; none can be in use under the lock.
  if (size_t n = platform::removeStaleTemporaries(file))
    platform::log("settings: removed ", n, " temporary file(s) a killed writer left beside ", file.string());
  platform::Result<void> last;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    last = updateOnce(file, change);
    if (last || last.error().code != platform::ErrorCode::Changed) return last;
  }
  return last;
}

SettingsFile::SettingsFile(std::filesystem::path file) : path_(file), cache_(std::move(file)) {}

}  // namespace calmora::settings
