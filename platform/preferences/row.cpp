#include "platform/preferences/row.h"

#include <array>
#include <utility>

#include "platform/foundation/qt_text.h"

namespace platform::preferences {

namespace {
constexpr std::array<std::pair<std::string_view, PSCellType>, 10> kCellNames{{
    {"PSGroupCell", PSCellType::Group},
    {"PSLinkCell", PSCellType::Link},
    {"PSLinkListCell", PSCellType::LinkList},
    {"PSListItemCell", PSCellType::ListItem},
    {"PSSliderCell", PSCellType::Slider},
    {"PSSwitchCell", PSCellType::Switch},
    {"PSStaticTextCell", PSCellType::StaticText},
    {"PSEditTextCell", PSCellType::EditText},
    {"PSSegmentCell", PSCellType::Segment},
    {"PSButtonCell", PSCellType::Button},
}};
}  // namespace

std::optional<PSCellType> cellTypeNamed(std::string_view name) {
  for (const auto& [text, type] : kCellNames)
    if (text == name) return type;
  return std::nullopt;
}

PSSpecifierPtr PSSpecifier::preferenceSpecifierNamed(const QString& name, PSListController* target, QString setter,
                                                     QString getter, QString detail, PSCellType cell, QString edit) {
  auto specifier = std::make_shared<PSSpecifier>(name, cell);
  specifier->setTarget(target);
  specifier->setter = std::move(setter);
  specifier->getter = std::move(getter);
  specifier->detailControllerClass = std::move(detail);
  specifier->editPaneClass = std::move(edit);
  return specifier;
}

PSSpecifierPtr PSSpecifier::groupSpecifierWithName(const QString& name) {
  return std::make_shared<PSSpecifier>(name, PSCellType::Group);
}

QString PSSpecifier::key() const {
  auto text = propertyForKey("key").string();
  return text ? toQString(*text) : QString();
}

bool PSSpecifier::isEnabled() const {
  plist::Ref enabled = propertyForKey("enabled");
  return !enabled || enabled.truthy();
}

}  // namespace platform::preferences
