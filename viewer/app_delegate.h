// The application delegate: one window with a tab bar of two navigation
// stacks, the Calls list first.
#pragma once

#include <memory>

#include "platform/uikit/application.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/tab_bar_controller.h"

namespace calmora::viewer {

class CMRAppDelegate : public platform::uikit::UIApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(platform::uikit::UIApplication& application) override;
  void applicationDidBecomeActive(platform::uikit::UIApplication& application) override;
  platform::uikit::UIWindow* window() const override { return window_.get(); }

 private:
  std::shared_ptr<platform::uikit::UITabBarController> tabBarVC_;
  std::shared_ptr<platform::uikit::UINavigationController> rootViewController_;
  std::shared_ptr<platform::uikit::UINavigationController> callsViewController_;
  platform::uikit::UIWindowPtr window_;
};

}  // namespace calmora::viewer
