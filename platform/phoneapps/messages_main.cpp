// One program for the apps whose content is what was delivered to them:
// Messages, the chat apps, Mail and Calendar; the bundle it runs as says
// whose conversations it shows.
#include "platform/phoneapps/conversations.h"
#include "platform/uikit/application.h"
#include "platform/uikit/navigation_controller.h"

namespace {

using namespace platform::uikit;

QString titleFor(std::string_view bundle) {
  if (bundle == "com.apple.MobileSMS") return "Messages";
  if (bundle == "com.apple.mobilemail") return "Inbox";
  if (bundle == "com.apple.mobilecal") return "Calendar";
  return "Chats";
}

class MessagesDelegate : public UIApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(UIApplication& app) override {
    window_ = make<UIWindow>(UIScreen::mainScreen().bounds());
    list_ = std::make_shared<platform::phoneapps::ConversationsController>(app.bundleIdentifier(),
                                                                          titleFor(app.bundleIdentifier()));
    auto stack = std::make_shared<UINavigationController>(list_);
    stack->setPrefersLargeTitles(true);
    window_->setRootViewController(stack);
    window_->makeKeyAndVisible();
    return true;
  }
  void applicationDidBecomeActive(UIApplication&) override {
    if (list_) list_->reload();
  }
  UIWindow* window() const override { return window_.get(); }

 private:
  UIWindowPtr window_;
  std::shared_ptr<platform::phoneapps::ConversationsController> list_;
};

}  // namespace

int main(int argc, char** argv) {
  return UIApplicationMain(argc, argv, [] { return std::make_shared<MessagesDelegate>(); });
}
