// PSSpecifier: one row of a preferences page, with its string-keyed
// property table (a plist item's entries when it came from a plist).
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/plist.h"
#include "platform/uikit/image.h"

namespace platform::preferences {

class PSListController;

// The cell kinds a page shows; the numbers are those of the plists' callers.
enum class PSCellType {
  Group = 0,
  Link = 1,
  LinkList = 2,
  ListItem = 3,
  Slider = 5,
  Switch = 6,
  StaticText = 7,
  EditText = 8,
  Segment = 9,
  Button = 13,
};

// The plist name of a cell ("PSSwitchCell") and back; nothing for a name
// the layer does not know.
std::optional<PSCellType> cellTypeNamed(std::string_view name);

class PSSpecifier;
using PSSpecifierPtr = std::shared_ptr<PSSpecifier>;

class PSSpecifier {
 public:
  PSSpecifier(QString name, PSCellType cell) : name_(std::move(name)), cell_(cell) {}

  // Selectors travel as their names; an empty one is "none".
  static PSSpecifierPtr preferenceSpecifierNamed(const QString& name, PSListController* target, QString setter,
                                                 QString getter, QString detail, PSCellType cell, QString edit);
  static PSSpecifierPtr groupSpecifierWithName(const QString& name);

  const QString& name() const { return name_; }
  void setName(QString name) { name_ = std::move(name); }
  PSCellType cellType() const { return cell_; }
  // Held weakly: the page owns its rows.
  PSListController* target() const { return target_; }
  void setTarget(PSListController* target) { target_ = target; }
  QString setter, getter;
  QString detailControllerClass;  // a class name of the pane's registry
  QString editPaneClass;

  const plist::Value& properties() const { return properties_; }
  // An empty view when absent.
  plist::Ref propertyForKey(std::string_view key) const { return properties_[key]; }
  void setProperty(std::string_view key, plist::Value value) { properties_.set(key, std::move(value)); }
  void removePropertyForKey(std::string_view key) { properties_.remove(key); }
  // "key" as text, empty when absent.
  QString key() const;
  // "enabled" absent counts as true.
  bool isEnabled() const;
  // "iconImage": an image, which a plist cannot hold.
  uikit::UIImagePtr iconImage;

 private:
  QString name_;
  PSCellType cell_;
  PSListController* target_ = nullptr;
  plist::Value properties_ = plist::Value::dict();
};

}  // namespace platform::preferences
