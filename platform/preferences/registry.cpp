#include "platform/preferences/registry.h"

#include "platform/foundation/log.h"
#include "platform/preferences/list_controller.h"

namespace platform::preferences {

std::shared_ptr<PSListController> PaneRegistry::makeController(const QString& name) const {
  auto it = controllers_.find(name);
  if (it == controllers_.end()) {
    log("Preferences: no page class named ", name.toStdString());
    return nullptr;
  }
  auto page = it->second();
  page->setRegistry(this);
  page->setClassName(name);
  return page;
}

bool PaneRegistry::perform(const QString& action, PSListController& target, PSSpecifier& specifier) const {
  auto it = actions_.find({target.className(), action});
  if (it == actions_.end()) {
    log("Preferences: ", target.className().toStdString(), " has no action named ", action.toStdString());
    return false;
  }
  it->second(target, specifier);
  return true;
}

std::shared_ptr<uikit::UIView> PaneRegistry::makeHeaderView(const QString& name, PSSpecifier& specifier) const {
  auto it = headers_.find(name);
  if (it == headers_.end()) {
    log("Preferences: no header class named ", name.toStdString());
    return nullptr;
  }
  return it->second(specifier);
}

}  // namespace platform::preferences
