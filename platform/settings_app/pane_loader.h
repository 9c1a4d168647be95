// Loads pane bundles: "/Library/PreferenceBundles/NAME.bundle/" holds the
// pane's shared library (its Info.plist's CFBundleExecutable, else NAME),
// its plists and images. The library is loaded once and stays loaded (its
// code backs the pages it made); its entry function PSRegisterPane fills
// the pane's registry.
#pragma once

#include <QString>
#include <map>
#include <memory>

#include "platform/preferences/registry.h"

namespace platform::settings_app {

class PaneLoader {
 public:
  PaneLoader() = default;
  PaneLoader(const PaneLoader&) = delete;
  PaneLoader& operator=(const PaneLoader&) = delete;

  // The registry of the pane NAME, loading it on first use; null, with a
  // diagnostic line, when the bundle is missing, its library does not
  // load or has no entry function. A failure is tried again next time.
  const preferences::PaneRegistry* load(const QString& name);

 private:
  std::map<QString, std::unique_ptr<preferences::PaneRegistry>> loaded_;
};

}  // namespace platform::settings_app
