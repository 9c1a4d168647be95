// The entry plists of installed panes, one per file of
// "/Library/PreferenceLoader/Preferences/": a dictionary whose "entry"
// dictionary names the pane's "bundle" (NAME of
// "/Library/PreferenceBundles/NAME.bundle"), its first page's "detail"
// class, the row's "label", "cell" (PSLinkCell by default) and "icon" (an
// image file of the bundle).
#pragma once

#include <QString>
#include <filesystem>
#include <vector>

namespace platform::settings_app {

inline constexpr const char* kEntriesFolder = "/Library/PreferenceLoader/Preferences";
inline constexpr const char* kBundlesFolder = "/Library/PreferenceBundles";

struct PaneEntry {
  QString label;
  QString bundle;
  QString detail;
  QString cell;
  QString icon;
};

// The entries of `folder` (a host path) in label order. A file that is no
// entry (unreadable, no "entry" dictionary, no label) is left out with a
// diagnostic line; one that names no bundle or detail class is kept, and
// its row stays inert.
std::vector<PaneEntry> readPaneEntries(const std::filesystem::path& folder);

}  // namespace platform::settings_app
