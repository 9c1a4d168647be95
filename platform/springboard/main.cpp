// The simulated home-screen process of one device: springboard DIR.
#include <memory>

#include "platform/automation/home_screen_verbs.h"
#include "platform/foundation/device_appearance.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/sound.h"
#include "platform/process/device_process.h"
#include "platform/springboard/control.h"
#include "platform/springboard/springboard.h"
#include "platform/uikit/application.h"

int main(int argc, char** argv) {
  namespace verbs = platform::automation::home_screen;
  return platform::runDeviceProcess(
      argc, argv,
      {.name = std::string(verbs::kProcess),
       .logName = "springboard",
       .verbs = verbs::kVerbs,
       .start = [](platform::automation::Server& control, const std::filesystem::path& root) {
         auto board = std::make_shared<platform::springboard::SpringBoard>(root);
         platform::springboard::registerControlVerbs(control, *board);
         board->start();
         platform::defaultCenter().addObserver(
             platform::sound::kPlayedSignal,
             [weak = std::weak_ptr(board)](const platform::Notification& n) {
               if (auto alive = weak.lock()) alive->soundReported(n.userInfo);
             });
         // The banners and the notification list follow the device's appearance.
         platform::defaultCenter().addObserver(
             platform::kAppearanceSignal,
             [](const platform::Notification&) { platform::uikit::UIApplication::sharedApplication().interfaceStyleChanged(); });
         platform::defaultCenter().addObserver(platform::kSoundSignal, [weak = std::weak_ptr(board)](const platform::Notification&) {
           if (auto alive = weak.lock()) alive->soundSwitched();
         });
         return std::shared_ptr<void>(board);
       }});
}
