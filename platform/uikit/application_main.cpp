// The app's main: the device process of one app, serving the user-interface
// verbs on its windows.
#include <filesystem>

#include "platform/automation/ui_verbs.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/sound.h"
#include "platform/process/device_process.h"
#include "platform/uikit/application.h"
#include "platform/uikit/automation/ui_server.h"
#include "platform/uikit/screen.h"

namespace platform::uikit {

namespace fs = std::filesystem;

namespace {
// The app's bundle identifier: the Info.plist beside the executable.
std::string ownBundleIdentifier(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) exe = fs::absolute(argv0);
  auto info = plist::readDictionary(exe.parent_path() / "Info.plist");
  if (auto id = info.dict["CFBundleIdentifier"].text(); id && !id->empty()) return *id;
  log("uikit: no CFBundleIdentifier in ", (exe.parent_path() / "Info.plist").string(), "; using the executable's name");
  return exe.filename().string();
}

constexpr const char* kAppearanceSignal = "sim.device/appearance";

// Windows and controllers go before the QApplication they draw with.
struct Launched {
  ~Launched() { UIApplication::sharedApplication().setDelegate(nullptr); }
};
}  // namespace

int UIApplicationMain(int argc, char** argv, const DelegateFactory& delegateFactory) {
  UIApplication& app = UIApplication::sharedApplication();
  app.setBundleIdentifier(ownBundleIdentifier(argc > 0 ? argv[0] : "app"));
  const std::string& bundle = app.bundleIdentifier();
  return runDeviceProcess(
      argc, argv,
      {.name = platform::automation::ui::socketName(bundle),
       .logName = "uikit(" + bundle + ")",
       .verbs = platform::automation::ui::kVerbs,
       .start = [&](platform::automation::Server& control, const fs::path& root) {
         UIScreen::mainScreen().update(readDeviceDescription(root));
         defaultCenter().addObserver(kAppearanceSignal, [](const Notification&) {
           UIApplication::sharedApplication().interfaceStyleChanged();
         });
         // The home screen keeps the device's record of sounds.
         sound::setPlayListener([bundle](sound::SystemSoundID id) {
           defaultCenter().post(sound::kPlayedSignal, {{sound::kSoundKey, std::to_string(id)}, {sound::kProcessKey, bundle}});
         });
         registerUIVerbs(control);
         auto launched = std::make_shared<Launched>();
         if (delegateFactory) app.setDelegate(delegateFactory());
         if (auto* delegate = app.delegate()) {
           delegate->didFinishLaunchingWithOptions(app);
           delegate->applicationDidBecomeActive(app);
         }
         return std::shared_ptr<void>(launched);
       }});
}

}  // namespace platform::uikit
