// A pane for the tests: every value its pages are handed, and every action
// run, is written to /var/mobile/Library/Preferences/sim.test.pane.received.plist
// with the type it arrived in.
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"
#include "platform/preferences/header_view.h"
#include "platform/preferences/list_controller.h"
#include "platform/preferences/registry.h"
#include "platform/uikit/navigation_controller.h"

namespace {
namespace pref = platform::preferences;
namespace plist = platform::plist;

void record(const std::string& key, plist::Value value) {
  auto file = platform::devicePath("/var/mobile/Library/Preferences/sim.test.pane.received.plist");
  auto read = plist::readDictionary(file);
  read.dict.set(key, std::move(value));
  if (auto written = plist::writeXmlAtomically(file, read.dict.ref()); !written)
    platform::log("TestPane: cannot record ", key, ": ", written.error().describe());
}

class TestRootController : public pref::PSListController {
 public:
  std::vector<pref::PSSpecifierPtr>& specifiers() override {
    if (specifiers_.empty()) specifiers_ = loadSpecifiersFromPlistName("Root", this);
    return specifiers_;
  }
  void setPreferenceValue(plist::Value value, pref::PSSpecifier& specifier) override {
    record(specifier.key().toStdString(), value.ref().copy());
    PSListController::setPreferenceValue(std::move(value), specifier);
  }
  // Says whether the page sits on a stack of its own below the app's.
  void ping() {
    bool nested = navigationController() && navigationController()->navigationController();
    record("ping", plist::Value::string(nested ? "nested" : "flat"));
  }
};

class TestDetailController : public pref::PSListController {
 public:
  std::vector<pref::PSSpecifierPtr>& specifiers() override {
    if (specifiers_.empty()) specifiers_ = loadSpecifiersFromPlistName("Detail", this);
    return specifiers_;
  }
};

class TestHeaderView : public platform::uikit::UIView, public pref::PSHeaderFooterView {
 public:
  explicit TestHeaderView(pref::PSSpecifier&) { setAccessibilityIdentifier("testHeader"); }
  double preferredHeightForWidth(double width) override { return width / 4; }
};

}  // namespace

extern "C" void PSRegisterPane(pref::PaneRegistry& registry) {
  registry.registerController<TestRootController>("TestRootController");
  registry.registerController<TestDetailController>("TestDetailController");
  registry.registerAction<TestRootController>("TestRootController", "ping", &TestRootController::ping);
  registry.registerHeaderView<TestHeaderView>("TestHeaderView");
}
