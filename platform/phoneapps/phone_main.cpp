// Phone (Recents and Contacts tabs), also run as FaceTime (its own calls).
#include "platform/contacts/contact_store.h"
#include "platform/foundation/device_paths.h"
#include "platform/phoneapps/contact_list.h"
#include "platform/phoneapps/recents.h"
#include "platform/uikit/application.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/tab_bar_controller.h"

namespace {

using namespace platform::uikit;
using platform::phoneapps::RecentsController;

constexpr std::string_view kFaceTime = "com.apple.facetime";

std::shared_ptr<UINavigationController> stackOf(UIViewControllerPtr root, const QString& tab, int tag) {
  auto stack = std::make_shared<UINavigationController>(root);
  stack->setPrefersLargeTitles(true);
  stack->setTabBarItem(std::make_shared<UITabBarItem>(tab, nullptr, tag));
  return stack;
}

class PhoneDelegate : public UIApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(UIApplication& app) override {
    window_ = make<UIWindow>(UIScreen::mainScreen().bounds());
    if (app.bundleIdentifier() == kFaceTime) {
      recents_ = std::make_shared<RecentsController>(std::string(kFaceTime));
      recents_->setTitle("FaceTime");
      window_->setRootViewController(stackOf(recents_, "FaceTime", 0));
    } else {
      recents_ = std::make_shared<RecentsController>(std::string());
      contacts_ = std::make_shared<platform::phoneapps::ContactListController>(
          platform::devicePath(platform::contacts::kAddressBookPath));
      auto tabs = std::make_shared<UITabBarController>();
      tabs->setViewControllers({stackOf(recents_, "Recents", 0), stackOf(contacts_, "Contacts", 1)});
      window_->setRootViewController(tabs);
    }
    window_->makeKeyAndVisible();
    return true;
  }
  // Back in front: the calls and people since.
  void applicationDidBecomeActive(UIApplication&) override {
    if (recents_) recents_->reload();
    if (contacts_) contacts_->reload();
  }
  UIWindow* window() const override { return window_.get(); }

 private:
  UIWindowPtr window_;
  std::shared_ptr<RecentsController> recents_;
  std::shared_ptr<platform::phoneapps::ContactListController> contacts_;
};

}  // namespace

int main(int argc, char** argv) {
  return UIApplicationMain(argc, argv, [] { return std::make_shared<PhoneDelegate>(); });
}
