#include "app/app_lock.h"

#include <cstdio>
#include <unistd.h>

#include "common/names.h"
#include "common/settings_file.h"
#include "platform/uikit/application.h"
#include "platform/uikit/dispatch.h"
#include "platform/uikit/screen.h"

namespace calmora::viewer {

using namespace platform::uikit;

bool lockReplyEndsApp(int code) { return code == -2 || code == -3 || code == -6 || code == -7; }

LockWindowCell startAppLock(std::function<std::unique_ptr<Authenticator>()> make) {
  if (!settings::readOnce()[names::settings::kIsTouch].truthy()) return nullptr;
  UIWindow* mainWindow = UIApplication::sharedApplication().keyWindow();
  // One cell shared by the steps, so the unlock hides the window the lock showed.
  auto lockWindow = std::make_shared<UIWindowPtr>();
  CGRect screen = UIScreen::mainScreen().bounds();
  *lockWindow = std::make_shared<UIWindow>(CGRect(0, 0, screen.width(), screen.height()));
  (*lockWindow)->setBackgroundColor(UIColor::blackColor());
  (*lockWindow)->setWindowLevel(UIWindowLevelStatusBar);
  if (mainWindow) mainWindow->setHidden(true);
  (*lockWindow)->setHidden(false);

  DispatchQueue::main().async([mainWindow, lockWindow, make = std::move(make)] {
    // The Calls list loads while the main window is on its way to the
    // screen, which shows it after the hiding above: hidden again here.
    if (mainWindow && !(*lockWindow)->isHidden()) mainWindow->setHidden(true);
    std::shared_ptr<Authenticator> context = make();
    if (!context->canEvaluateOwnerPolicy()) return;  // stays covered
    context->evaluateOwnerPolicy("Unlock Calmora", [mainWindow, lockWindow, context](bool success, int code) {
      if (success)
        DispatchQueue::main().async([mainWindow, lockWindow] {
          if (mainWindow) mainWindow->setHidden(false);
          (*lockWindow)->setHidden(true);
        });
      if (lockReplyEndsApp(code)) {
        // Off the main thread: the process ends without running the
        // destructors the main thread may be using.
        std::fflush(nullptr);
        ::_exit(0);
      }
    });
  });
  return lockWindow;
}

}  // namespace calmora::viewer
