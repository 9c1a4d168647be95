// The Settings app's first page: a few rows of the system, then one row per
// installed pane. Tapping a pane's row loads its bundle and pushes the
// pane's first page inside a navigation controller of its own, so the
// page's navigation controller has this app's above it.
#pragma once

#include "platform/preferences/list_controller.h"
#include "platform/settings_app/pane_loader.h"

namespace platform::settings_app {

class RootController : public preferences::PSListController {
 public:
  RootController();
  std::vector<preferences::PSSpecifierPtr>& specifiers() override;
  void didSelectRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;

 protected:
  std::shared_ptr<preferences::PSListController> controllerForSpecifier(preferences::PSSpecifier& row) override;

 private:
  void openPane(preferences::PSSpecifier& row);
  PaneLoader loader_;
};

}  // namespace platform::settings_app
