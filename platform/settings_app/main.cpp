// The Settings app: the system's list of settings and the installed panes.
#include "platform/settings_app/root_controller.h"
#include "platform/uikit/application.h"
#include "platform/uikit/navigation_controller.h"

namespace {

class SettingsDelegate : public platform::uikit::UIApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(platform::uikit::UIApplication&) override {
    using namespace platform::uikit;
    window_ = make<UIWindow>(UIScreen::mainScreen().bounds());
    auto stack = std::make_shared<UINavigationController>(std::make_shared<platform::settings_app::RootController>());
    stack->setPrefersLargeTitles(true);
    window_->setRootViewController(stack);
    window_->makeKeyAndVisible();
    return true;
  }

 private:
  platform::uikit::UIWindowPtr window_;
};

}  // namespace

int main(int argc, char** argv) {
  return platform::uikit::UIApplicationMain(argc, argv, [] { return std::make_shared<SettingsDelegate>(); });
}
