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

// Copies the regular files of a preference bundle staged by the build
// (`folder`, NAME.bundle) into DIR/Library/PreferenceBundles/NAME.bundle/,
// each replaced atomically; what else that folder holds is left alone, as
// the pane's own files are installed beside them.
void installPreferenceFilesFrom(const std::filesystem::path& dir, const std::filesystem::path& folder);

}  // namespace simctl
