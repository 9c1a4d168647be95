// The pane's entry: the Settings app calls it once when it loads the bundle,
// and the pages, actions and header are found by these names from then on.
#include "CalmoPrefs/contact_pages.h"
#include "CalmoPrefs/root_header_view.h"
#include "CalmoPrefs/root_list_controller.h"
#include "platform/preferences/registry.h"

extern "C" void PSRegisterPane(platform::preferences::PaneRegistry& registry) {
  using namespace calmoprefs;
  registry.registerController<CMPRootListController>("CMPRootListController");
  registry.registerController<CMPContactListController>("CMPContactListController");
  registry.registerController<CMPContactSettingsController>("CMPContactSettingsController");
  registry.registerController<CMPBlockController>("CMPBlockController");
  registry.registerAction<CMPRootListController>("CMPRootListController", "killall", &CMPRootListController::killall);
  registry.registerAction<CMPRootListController>("CMPRootListController", "playsound",
                                                 &CMPRootListController::playsound);
  registry.registerAction<CMPRootListController>("CMPRootListController", "removeNotificationIcon",
                                                 &CMPRootListController::removeNotificationIcon);
  registry.registerAction<CMPRootListController>("CMPRootListController", "exportBackup",
                                                 &CMPRootListController::exportBackup);
  registry.registerAction<CMPRootListController>("CMPRootListController", "importBackup",
                                                 &CMPRootListController::importBackup);
  registry.registerAction<CMPContactSettingsController>("CMPContactSettingsController", "save", &ContactPage::save);
  registry.registerAction<CMPBlockController>("CMPBlockController", "save", &ContactPage::save);
  registry.registerHeaderView<CMRRootHeaderView>("CMRRootHeaderView");
}
