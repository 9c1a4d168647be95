// CMPRootListController: the pane's first page, the global settings. Every
// change is written to the settings file at once; rows marked
// "PostNotification" then tell the hook library to move its marker, and a
// new "sound" is played so the user hears it.
#pragma once

#include <filesystem>
#include <string>

#include "platform/preferences/list_controller.h"

namespace calmoprefs {

class CMPRootListController : public platform::preferences::PSListController {
 public:
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  std::vector<platform::preferences::PSSpecifierPtr>& specifiers() override;
  platform::plist::Value readPreferenceValue(const platform::preferences::PSSpecifier& specifier) override;
  void setPreferenceValue(platform::plist::Value value, platform::preferences::PSSpecifier& specifier) override;

  // When the lock is on: the device owner authenticates by biometrics, or
  // the Settings app ends.
  void verify();
  // Asks before restarting the user interface, so that settings read at
  // the home screen's start take effect.
  void killall();
  void playsound();
  void removeNotificationIcon();
  // "Export" and "Import": the settings and both logs as one file in the
  // device's Documents (root_backup.cpp).
  void exportBackup();
  void importBackup();

 protected:
  // `again`: whether a fallback may ask once more.
  void verifyOnce(bool again);
  void confirmImport(const std::filesystem::path& file);
  void importFrom(const std::filesystem::path& file);
  void tell(const QString& title, const std::string& message);

  std::shared_ptr<platform::preferences::PSListController> controllerForSpecifier(
      platform::preferences::PSSpecifier& specifier) override;
};

// A link row flagged "isController" opens its "detail" class even when it is
// drawn as a link list; other rows open as the page layer decides.
std::shared_ptr<platform::preferences::PSListController> controllerFromDetail(
    const platform::preferences::PSListController& page, platform::preferences::PSSpecifier& specifier);

}  // namespace calmoprefs
