// The names a pane's plists use, bound to code: page classes ("detail",
// an entry's detail class), header classes ("headerCellClass") and button
// actions ("action").
//
// A pane's shared library exports one entry function,
//
//   extern "C" void PSRegisterPane(platform::preferences::PaneRegistry& registry);
//
// which the Settings app calls once, right after loading the library, with
// the registry of that pane. The pane registers there:
//
//   registry.registerController<MyRootController>("MyRootController");
//   registry.registerAction<MyRootController>("MyRootController", "reset", &MyRootController::reset);
//   registry.registerHeaderView<MyHeaderView>("MyHeaderView");
//
// A page created through the registry knows it (PSListController::registry),
// and so do the pages it opens. Names are looked up when a row is tapped or
// shown; a name nothing registered leaves the row inert with a diagnostic line.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "platform/preferences/header_view.h"
#include "platform/preferences/row.h"

namespace platform::preferences {

class PSListController;
class NSBundle;

class PaneRegistry {
 public:
  // A new page of the class registered as `name`, knowing `registry`.
  using ControllerFactory =
      std::function<std::shared_ptr<PSListController>(const PaneRegistry& registry, const QString& name)>;
  using Action = std::function<void(PSListController& target, PSSpecifier& specifier)>;
  using HeaderFactory = std::function<std::shared_ptr<uikit::UIView>(PSSpecifier& specifier)>;

  explicit PaneRegistry(std::shared_ptr<const NSBundle> bundle = nullptr) : bundle_(std::move(bundle)) {}

  template <class T>
  void registerController(const QString& name) {
    controllers_[name] = [](const PaneRegistry& registry, const QString& className) {
      auto page = std::make_shared<T>();
      page->setRegistry(&registry);
      page->setClassName(className);
      return std::shared_ptr<PSListController>(std::move(page));
    };
  }
  // Found for targets the registry made as `className`; T is that class.
  template <class T>
  void registerAction(const QString& className, const QString& action, void (T::*method)()) {
    actions_[{className, action}] = [method](PSListController& target, PSSpecifier&) {
      if (auto* page = dynamic_cast<T*>(&target)) (page->*method)();
    };
  }
  void registerAction(const QString& className, const QString& action, Action fn) {
    actions_[{className, action}] = std::move(fn);
  }
  // T is a UIView that adopts PSHeaderFooterView, made from a specifier.
  template <class T>
  void registerHeaderView(const QString& name) {
    headers_[name] = [](PSSpecifier& specifier) { return std::make_shared<T>(specifier); };
  }

  // A new page of that class, knowing this registry and the pane's bundle;
  // null (with a diagnostic line) for a name nothing registered.
  std::shared_ptr<PSListController> makeController(const QString& name) const;
  // The action `name` of the pages made as `className`; null (with a
  // diagnostic line) when that class has none.
  const Action* action(const QString& className, const QString& name) const;
  std::shared_ptr<uikit::UIView> makeHeaderView(const QString& name, PSSpecifier& specifier) const;

  const std::shared_ptr<const NSBundle>& bundle() const { return bundle_; }

 private:
  std::shared_ptr<const NSBundle> bundle_;
  std::map<QString, ControllerFactory> controllers_;
  std::map<std::pair<QString, QString>, Action> actions_;
  std::map<QString, HeaderFactory> headers_;
};

// The entry function's name and type.
inline constexpr const char* kPaneEntryFunction = "PSRegisterPane";
using PaneEntryFunction = void (*)(PaneRegistry&);

}  // namespace platform::preferences
