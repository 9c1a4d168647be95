// Installing built app bundles into a device's Applications folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace simctl {

// Copies the bundle SOURCE (a NAME.app folder with an Info.plist naming its
// identifier) to DIR/Applications/NAME.app, replacing what was there; its
// bundle identifier, or nothing after a line on standard error.
std::optional<std::string> installBundle(const std::filesystem::path& dir, const std::filesystem::path& source);

// Installs every NAME.app of `folder`; a missing folder installs nothing.
void installBundlesFrom(const std::filesystem::path& dir, const std::filesystem::path& folder);

// Installs the panes staged in `folder` (its Library/PreferenceBundles/
// NAME.bundle folders and Library/PreferenceLoader/Preferences/ entry
// plists) into the device's same folders, each replaced as a whole. A
// missing folder installs nothing.
void installPanesFrom(const std::filesystem::path& dir, const std::filesystem::path& folder);

}  // namespace simctl
