#include "viewer/app_delegate.h"

#include "viewer/event_list_controller.h"
#include "common/names.h"
#include "platform/foundation/notification_center.h"
#include "platform/uikit/screen.h"

namespace calmora::viewer {

using namespace platform::uikit;

bool CMRAppDelegate::didFinishLaunchingWithOptions(UIApplication&) {
  window_ = make<UIWindow>(UIScreen::mainScreen().bounds());
  rootViewController_ = std::make_shared<UINavigationController>(std::make_shared<CMRRootViewController>());
  callsViewController_ = std::make_shared<UINavigationController>(std::make_shared<CMRNotifViewController>());
  tabBarVC_ = std::make_shared<UITabBarController>();
  tabBarVC_->setViewControllers({rootViewController_, callsViewController_});
  window_->setRootViewController(tabBarVC_);
  // Shows the Calls list, whose viewDidLoad starts the app lock.
  window_->makeKeyAndVisible();
  return true;
}

void CMRAppDelegate::applicationDidBecomeActive(UIApplication&) {
  platform::defaultCenter().post(names::signal::kAskTouchID);
}

}  // namespace calmora::viewer
