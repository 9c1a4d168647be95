#include "CalmoPrefs/root_list_controller.h"

#include "CalmoPrefs/page_appearance.h"
#include "CalmoPrefs/settings_store.h"
#include "common/names.h"
#include "common/setting_values.h"
#include <cstdlib>

#include "platform/auth/la_context.h"
#include "platform/foundation/task.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/qt_text.h"
#include "platform/foundation/sound.h"
#include "platform/preferences/registry.h"
#include "platform/uikit/alert_controller.h"
#include "platform/uikit/bar_items.h"

namespace calmoprefs {

namespace pref = platform::preferences;
namespace plist = platform::plist;
namespace uk = platform::uikit;
namespace names = calmora::names;

std::shared_ptr<pref::PSListController> controllerFromDetail(const pref::PSListController& page,
                                                            pref::PSSpecifier& specifier) {
  if (!specifier.propertyForKey("isController").truthy() || !page.registry()) return nullptr;
  auto detail = specifier.propertyForKey("detail").string();
  QString name = detail ? platform::toQString(*detail) : specifier.detailControllerClass;
  return name.isEmpty() ? nullptr : page.registry()->makeController(name);
}

std::shared_ptr<pref::PSListController> CMPRootListController::controllerForSpecifier(pref::PSSpecifier& specifier) {
  if (auto page = controllerFromDetail(*this, specifier)) return page;
  return PSListController::controllerForSpecifier(specifier);
}

void CMPRootListController::viewWillAppear(bool animated) {
  PSListController::viewWillAppear(animated);
  applyPageAppearance(*this, true);
  navigationItem().setRightBarButtonItem(
      std::make_shared<uk::UIBarButtonItem>("Apply changes", uk::UIBarButtonItemStyle::Plain, [this] { killall(); }));
}

void CMPRootListController::viewWillDisappear(bool animated) {
  PSListController::viewWillDisappear(animated);
  resetPageAppearance(*this);
}

std::vector<pref::PSSpecifierPtr>& CMPRootListController::specifiers() {
  if (specifiers_.empty()) {
    // Asked when the rows are loaded, not at each of the table's many
    // requests, which would cancel one prompt with the next; the page shows
    // behind the prompt.
    if (readSettings()[names::settings::kIsTouch].truthy()) verify();
    specifiers_ = loadSpecifiersFromPlistName("Root", this);
  }
  return specifiers_;
}

plist::Value CMPRootListController::readPreferenceValue(const pref::PSSpecifier& specifier) {
  // What the hook library takes from a value written by hand in another
  // type, in the type of the row's values, so that the row shows it.
  namespace keys = names::settings;
  namespace rule = calmora::settings;
  const auto key = specifier.key().toStdString();
  if (key == keys::kMethodSpecifier) return plist::Value::integer(rule::methodSpecifier(readSettings().ref()));
  if (key == keys::kSound) return plist::Value::string(std::to_string(rule::soundID(readSettings().ref())));
  if (key == keys::kXCoordinates || key == keys::kYCoordinates)
    return plist::Value::integer(static_cast<int64_t>(rule::coordinate(readSettings().ref(), key)));
  return readSetting(specifier.key(), specifier.propertyForKey("default"));
}

void CMPRootListController::setPreferenceValue(plist::Value value, pref::PSSpecifier& specifier) {
  // A row without a key has nowhere to store its value.
  if (specifier.key().isEmpty()) return;
  if (auto written = writeSetting(specifier.key(), std::move(value)); !written) {
    settingNotSaved(QString::fromStdString(written.error().describe()));
    return;
  }
  // The marker reads its position from the file, so the signal follows the write.
  if (specifier.propertyForKey("PostNotification")) platform::defaultCenter().post(names::signal::kShowIcon);
  if (specifier.key() == QLatin1String(names::settings::kSound.data(), names::settings::kSound.size())) playsound();
}

void CMPRootListController::verify() { verifyOnce(true); }

void CMPRootListController::verifyOnce(bool again) {
  namespace auth = platform::auth;
  auth::LAContext context;
  if (!context.canEvaluatePolicy(auth::LAPolicy::DeviceOwnerAuthenticationWithBiometrics, nullptr)) return;
  auto self = std::static_pointer_cast<CMPRootListController>(shared_from_this());
  context.evaluatePolicy(auth::LAPolicy::DeviceOwnerAuthenticationWithBiometrics, "Please authenticate.",
                         [self, again](bool success, const std::optional<auth::NSError>& error) {
                           if (success || !error) return;
                           switch (error->code) {
                             // Failed attempts used up end the app as a cancel does: the
                             // settings stay locked to whoever cannot authenticate.
                             case auth::LAError::AuthenticationFailed:
                             case auth::LAError::UserCancel:
                               std::exit(0);
                             case auth::LAError::UserFallback:
                             case auth::LAError::BiometryNotAvailable:
                             case auth::LAError::BiometryNotEnrolled:
                               if (again) self->verifyOnce(false);
                               return;
                             default:
                               return;
                           }
                         });
}

void CMPRootListController::killall() {
  auto sheet = uk::UIAlertController::alertControllerWithTitle("Respring?", "Are you sure you want to respring?",
                                                               uk::UIAlertControllerStyle::ActionSheet);
  sheet->addAction(std::make_shared<uk::UIAlertAction>("Yes", uk::UIAlertActionStyle::Default, [](const auto&) {
    platform::NSTask task;
    task.setLaunchPath("/usr/bin/killall");
    task.setArguments({"-9", "backboardd"});
    auto started = task.launch();
    // Nothing restarts then; the settings are written already and take
    // effect at the next start of the home screen.
    if (!started) platform::log("CalmoPrefs: /usr/bin/killall did not start: ", started.error().describe());
  }));
  // Choosing an action dismisses the sheet; "No" does nothing more.
  sheet->addAction(std::make_shared<uk::UIAlertAction>("No", uk::UIAlertActionStyle::Cancel, nullptr));
  presentViewController(sheet, true);
}

void CMPRootListController::playsound() {
  auto id = static_cast<platform::sound::SystemSoundID>(calmora::settings::soundID(readSettings().ref()));
  platform::sound::disposeSystemSound(id);
  platform::sound::playSystemSound(id);
}

void CMPRootListController::removeNotificationIcon() { platform::defaultCenter().post(names::signal::kMarkAllReadC); }

}  // namespace calmoprefs
