// Contacts: the device's address book, to read and to keep.
#include "platform/contacts/contact_store.h"
#include "platform/foundation/device_paths.h"
#include "platform/phoneapps/contact_list.h"
#include "platform/uikit/application.h"
#include "platform/uikit/navigation_controller.h"

namespace {

class ContactsDelegate : public platform::uikit::UIApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(platform::uikit::UIApplication&) override {
    using namespace platform::uikit;
    window_ = make<UIWindow>(UIScreen::mainScreen().bounds());
    list_ = std::make_shared<platform::phoneapps::ContactListController>(
        platform::devicePath(platform::contacts::kAddressBookPath));
    auto stack = std::make_shared<UINavigationController>(list_);
    stack->setPrefersLargeTitles(true);
    window_->setRootViewController(stack);
    window_->makeKeyAndVisible();
    return true;
  }
  // Back in front: a book changed meanwhile (by simctl, say) shows.
  void applicationDidBecomeActive(platform::uikit::UIApplication&) override {
    if (list_) list_->reload();
  }
  platform::uikit::UIWindow* window() const override { return window_.get(); }

 private:
  platform::uikit::UIWindowPtr window_;
  std::shared_ptr<platform::phoneapps::ContactListController> list_;
};

}  // namespace

int main(int argc, char** argv) {
  return platform::uikit::UIApplicationMain(argc, argv, [] { return std::make_shared<ContactsDelegate>(); });
}
