#include "platform/preferences/registry.h"

#include "platform/foundation/log.h"

namespace platform::preferences {

std::shared_ptr<PSListController> PaneRegistry::makeController(const QString& name) const {
  auto it = controllers_.find(name);
  if (it == controllers_.end()) {
    log("Preferences: no page class named ", name.toStdString());
    return nullptr;
  }
  return it->second(*this, name);
}

const PaneRegistry::Action* PaneRegistry::action(const QString& className, const QString& name) const {
  auto it = actions_.find({className, name});
  if (it == actions_.end()) {
    log("Preferences: ", className.toStdString(), " has no action named ", name.toStdString());
    return nullptr;
  }
  return &it->second;
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
