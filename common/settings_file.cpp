#include "common/settings_file.h"

#include "common/names.h"
#include "platform/foundation/device_paths.h"

namespace calmora::settings {

std::filesystem::path settingsPath() { return platform::devicePath(names::kSettingsPath); }

platform::plist::Value readOnce() { return platform::plist::readDictionary(settingsPath()).dict; }

SettingsFile::SettingsFile(std::filesystem::path file) : path_(file), cache_(std::move(file)) {}

std::optional<platform::Error> SettingsFile::write(platform::plist::Ref settings) {
  if (current()->state == platform::plist::ReadState::Unreadable)
    if (auto e = platform::plist::keepUnreadableAside(path_)) return e;
  return platform::plist::writeXmlAtomically(path_, settings);
}

}  // namespace calmora::settings
