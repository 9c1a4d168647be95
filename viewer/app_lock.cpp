#include "viewer/app_lock.h"

#include <cstdio>
#include <unistd.h>

#include "common/names.h"
#include "common/settings_file.h"
#include "platform/uikit/application.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/dispatch.h"
#include "platform/uikit/label.h"
#include "platform/uikit/screen.h"

namespace calmora::viewer {

using namespace platform::uikit;

bool lockReplyEndsApp(int code) { return code == -2 || code == -3 || code == -6 || code == -7; }

namespace {
using MakeAuthenticator = std::function<std::unique_ptr<Authenticator>()>;

// What the lock window shows when no prompt is open and the log stays
// locked: a line saying so and "Unlock", which asks again.
struct LockedNotice {
  std::shared_ptr<UILabel> line = make<UILabel>();
  std::shared_ptr<UIButton> unlock = UIButton::buttonWithType(UIButtonType::System);
};

void showNotice(const std::shared_ptr<LockedNotice>& notice, bool shown) {
  notice->line->setHidden(!shown);
  notice->unlock->setHidden(!shown);
}

void ask(UIWindow* mainWindow, LockWindowCell lockWindow, std::shared_ptr<LockedNotice> notice,
         std::shared_ptr<MakeAuthenticator> make) {
  showNotice(notice, false);
  std::shared_ptr<Authenticator> context = (*make)();
  if (!context || !context->canEvaluateOwnerPolicy()) return showNotice(notice, true);
  context->evaluateOwnerPolicy("Unlock Calmora", [mainWindow, lockWindow, notice, context](bool success, int code) {
    if (lockReplyEndsApp(code)) {
      // Off the main thread: the process ends without running the
      // destructors the main thread may be using.
      std::fflush(nullptr);
      ::_exit(0);
    }
    DispatchQueue::main().async([mainWindow, lockWindow, notice, success] {
      if (!success) return showNotice(notice, true);
      if (mainWindow) mainWindow->setHidden(false);
      (*lockWindow)->setHidden(true);
    });
  });
}
}  // namespace

LockWindowCell startAppLock(MakeAuthenticator make) {
  if (!settings::readOnce()[names::settings::kIsTouch].truthy()) return nullptr;
  UIWindow* mainWindow = UIApplication::sharedApplication().keyWindow();
  // One cell shared by the steps, so the unlock hides the window the lock showed.
  auto lockWindow = std::make_shared<UIWindowPtr>();
  CGRect screen = UIScreen::mainScreen().bounds();
  *lockWindow = std::make_shared<UIWindow>(CGRect(0, 0, screen.width(), screen.height()));
  (*lockWindow)->setBackgroundColor(UIColor::blackColor());
  (*lockWindow)->setWindowLevel(UIWindowLevelStatusBar);

  auto notice = std::make_shared<LockedNotice>();
  notice->line->setText("The log is locked.");
  notice->line->setTextColor(UIColor::whiteColor());
  notice->line->setTextAlignment(NSTextAlignment::Center);
  notice->line->setFrame(CGRect(16, screen.height() / 2 - 40, screen.width() - 32, 24));
  notice->unlock->setTitle("Unlock", UIControlState::Normal);
  notice->unlock->setFrame(CGRect(screen.width() / 2 - 60, screen.height() / 2, 120, 44));
  showNotice(notice, false);
  (*lockWindow)->addSubview(notice->line);
  (*lockWindow)->addSubview(notice->unlock);

  if (mainWindow) mainWindow->setHidden(true);
  (*lockWindow)->setHidden(false);

  auto shared = std::make_shared<MakeAuthenticator>(std::move(make));
  // The button holds its target: weak references back, or none of it would go.
  notice->unlock->addTarget(
      [mainWindow, cell = std::weak_ptr<UIWindowPtr>(lockWindow), line = std::weak_ptr<UILabel>(notice->line),
       unlock = std::weak_ptr<UIButton>(notice->unlock), shared] {
        auto window = cell.lock();
        auto again = std::make_shared<LockedNotice>(LockedNotice{line.lock(), unlock.lock()});
        if (window && again->line && again->unlock) ask(mainWindow, window, again, shared);
      },
      UIControlEvents::TouchUpInside);
  DispatchQueue::main().async([mainWindow, lockWindow, notice, shared] {
    // The Calls list loads while the main window is on its way to the
    // screen, which shows it after the hiding above: hidden again here.
    if (mainWindow && !(*lockWindow)->isHidden()) mainWindow->setHidden(true);
    ask(mainWindow, lockWindow, notice, shared);
  });
  return lockWindow;
}

}  // namespace calmora::viewer
