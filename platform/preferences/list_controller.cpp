#include "platform/preferences/list_controller.h"

#include <algorithm>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/qt_text.h"
#include "platform/preferences/cells.h"
#include "platform/preferences/header_view.h"
#include "platform/preferences/registry.h"
#include "platform/preferences/rows_from_plist.h"
#include "platform/uikit/alert_controller.h"
#include "platform/uikit/application.h"
#include "platform/uikit/dispatch.h"
#include "platform/uikit/navigation_controller.h"

namespace platform::preferences {
namespace uk = platform::uikit;

namespace {

// The preferences file of a "defaults" domain; empty for a row without
// one or a domain that is no plain name.
std::filesystem::path domainFile(const PSSpecifier& row) {
  auto domain = row.propertyForKey("defaults").string();
  if (!domain || domain->empty() || domain->find('/') != std::string_view::npos || *domain == "..") return {};
  return devicePath("/var/mobile/Library/Preferences/" + std::string(*domain) + ".plist");
}

// The text field of that identifier inside `view`.
uk::UITextField* fieldNamed(uk::UIView& view, const QString& id) {
  auto* field = dynamic_cast<uk::UITextField*>(&view);
  if (field && field->accessibilityIdentifier() == id) return field;
  for (const auto& sub : view.subviews())
    if (auto* found = fieldNamed(*sub, id)) return found;
  return nullptr;
}

void endEditing() {
  if (auto* field = dynamic_cast<uk::UITextField*>(uk::UIApplication::sharedApplication().firstResponder()))
    field->resignFirstResponder();
}

}  // namespace

PSListController::PSListController() : UITableViewController(uk::UITableViewStyle::Grouped) {}

const NSBundle* PSListController::bundle() const { return registry_ ? registry_->bundle().get() : nullptr; }

std::vector<PSSpecifierPtr> PSListController::loadSpecifiersFromPlistName(const QString& name,
                                                                          PSListController* target) const {
  const NSBundle* own = bundle();
  QString path = own ? own->pathForResource(name, "plist") : QString();
  if (path.isEmpty()) {
    log("Preferences: no specifier plist ", name.toStdString(), " in the pane's bundle");
    return {};
  }
  auto read = plist::readDictionary(path.toStdString());
  return specifiersFromPlist(read.dict.ref(), target, own, path.toStdString());
}

plist::Value PSListController::readPreferenceValue(const PSSpecifier& specifier) {
  if (auto file = domainFile(specifier); !file.empty()) {
    auto read = plist::readDictionary(file);
    plist::Ref stored = read.dict[specifier.key().toStdString()];
    if (stored) return stored.copy();
  }
  plist::Ref fallback = specifier.propertyForKey("default");
  return fallback ? fallback.copy() : plist::Value();
}

void PSListController::setPreferenceValue(plist::Value value, PSSpecifier& specifier) {
  auto file = domainFile(specifier);
  if (file.empty() || specifier.key().isEmpty()) return;
  auto read = plist::readDictionary(file);
  // keepUnreadableAside says in its own diagnostic line why it could not.
  if (read.state == plist::ReadState::Unreadable && !plist::keepUnreadableAside(file)) return;
  read.dict.set(specifier.key().toStdString(), std::move(value));
  if (auto written = plist::writeXmlAtomically(file, read.dict.ref()); !written) {
    log("Preferences: cannot write ", file.string(), ": ", written.error().describe());
    settingNotSaved(toQString(written.error().describe()));
  }
}

void PSListController::reloadSpecifiers() {
  sectionsValid_ = false;
  reloadDue_ = false;
  if (!isViewLoaded()) return;
  auto& app = uk::UIApplication::sharedApplication();
  auto* editing = dynamic_cast<uk::UITextField*>(app.firstResponder());
  if (editing && !editing->isDescendantOf(tableView())) editing = nullptr;
  const QString id = editing ? editing->accessibilityIdentifier() : QString();
  const QString typed = editing ? editing->text() : QString();
  // Let go without ending the editing: the typed text moves to the new cell.
  if (editing) app.setFirstResponder(nullptr);
  tableView()->reloadData();
  if (!editing) return;
  tableView()->layoutIfNeeded();
  for (auto* cell : tableView()->visibleCells())
    if (auto* field = fieldNamed(*cell, id)) {
      field->setText(typed);
      field->becomeFirstResponder();
      return;
    }
}

void PSListController::reloadSpecifiersSoon() {
  if (reloadDue_) return;
  reloadDue_ = true;
  uk::DispatchQueue::main().async([weak = weak_from_this()] {
    auto page = std::static_pointer_cast<PSListController>(weak.lock());
    if (page && page->reloadDue_) page->reloadSpecifiers();
  });
}

void PSListController::settingNotSaved(const QString& why) {
  auto alert = uk::UIAlertController::alertControllerWithTitle("Setting not saved.", why,
                                                               uk::UIAlertControllerStyle::Alert);
  alert->addAction(std::make_shared<uk::UIAlertAction>("Ok", uk::UIAlertActionStyle::Cancel, nullptr));
  presentViewController(alert, true);
  reloadSpecifiersSoon();
}

void PSListController::viewWillAppear(bool animated) {
  UITableViewController::viewWillAppear(animated);
  // A page shown again (back from a list or a detail page) shows the values as they are now.
  reloadSpecifiers();
}

void PSListController::viewWillDisappear(bool animated) {
  UITableViewController::viewWillDisappear(animated);
  endEditing();
}

const std::vector<PSListController::Section>& PSListController::sections() {
  if (sectionsValid_) return sections_;
  sections_.clear();
  for (const auto& row : specifiers()) {
    if (!row) continue;
    if (row->cellType() == PSCellType::Group) {
      Section section{row, nullptr, {}};
      if (auto cls = row->propertyForKey("headerCellClass").string(); cls && registry_)
        section.header = registry_->makeHeaderView(toQString(*cls), *row);
      sections_.push_back(std::move(section));
      continue;
    }
    if (sections_.empty()) sections_.push_back({});
    sections_.back().rows.push_back(row);
  }
  sectionsValid_ = true;
  return sections_;
}

PSSpecifier* PSListController::rowAt(uk::NSIndexPath path) {
  const auto& all = sections();
  if (path.section < 0 || size_t(path.section) >= all.size()) return nullptr;
  const Section& s = all[size_t(path.section)];
  int row = path.row - (s.header ? 1 : 0);
  return row >= 0 && size_t(row) < s.rows.size() ? s.rows[size_t(row)].get() : nullptr;
}

int PSListController::numberOfSectionsInTableView(uk::UITableView&) {
  sectionsValid_ = false;  // the table asks this first on every reload
  return int(sections().size());
}

int PSListController::numberOfRowsInSection(uk::UITableView&, int section) {
  const auto& all = sections();
  if (section < 0 || size_t(section) >= all.size()) return 0;
  return int(all[size_t(section)].rows.size()) + (all[size_t(section)].header ? 1 : 0);
}

std::optional<QString> PSListController::titleForHeaderInSection(uk::UITableView&, int section) {
  const auto& all = sections();
  if (section < 0 || size_t(section) >= all.size() || !all[size_t(section)].group) return std::nullopt;
  const QString& name = all[size_t(section)].group->name();
  return name.isEmpty() ? std::nullopt : std::optional<QString>(name);
}

std::optional<QString> PSListController::titleForFooterInSection(uk::UITableView&, int section) {
  const auto& all = sections();
  if (section < 0 || size_t(section) >= all.size() || !all[size_t(section)].group) return std::nullopt;
  auto footer = all[size_t(section)].group->propertyForKey("footerText").text();
  return footer ? std::optional<QString>(QString::fromStdString(*footer)) : std::nullopt;
}

double PSListController::headerRowHeight(const Section& section, double width) {
  double asked = 0;
  if (auto* protocol = dynamic_cast<PSHeaderFooterView*>(section.header.get()))
    asked = std::max(0.0, protocol->preferredHeightForWidth(width));
  // A header may draw below the height it asks for, as it would over what
  // follows it on the phone; a row clips what it holds, so the row makes
  // room for all of it instead.
  section.header->setFrame(uk::CGRect(0, 0, width, asked));
  section.header->layoutIfNeeded();
  double reach = asked;
  for (const auto& sub : section.header->subviews())
    if (!sub->isHidden()) reach = std::max(reach, sub->frame().maxY());
  return reach;
}

uk::UITableViewCellPtr PSListController::headerCell(const Section& section) {
  auto cell = uk::make<uk::UITableViewCell>(uk::UITableViewCellStyle::Default, QString());
  cell->setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
  // A header stands on the table's background, not on a row's.
  cell->setBackgroundColor(uk::UIColor::clearColor());
  cell->setSeparatorInset(uk::UIEdgeInsets{0, 0, 0, uk::CGFLOAT_MAX_VALUE});
  double width = tableView()->bounds().width();
  section.header->setFrame(uk::CGRect(0, 0, width, headerRowHeight(section, width)));
  cell->contentView()->addSubview(section.header);
  return cell;
}

double PSListController::heightForRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  const auto& all = sections();
  if (size_t(path.section) < all.size() && all[size_t(path.section)].header && path.row == 0)
    return headerRowHeight(all[size_t(path.section)], table.bounds().width());
  return 44;
}

uk::UITableViewCellPtr PSListController::cellForRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  const auto& all = sections();
  if (size_t(path.section) < all.size() && all[size_t(path.section)].header && path.row == 0)
    return headerCell(all[size_t(path.section)]);
  const Section& s = all[size_t(path.section)];
  const PSSpecifierPtr& row = s.rows[size_t(path.row - (s.header ? 1 : 0))];
  // Read through the row's target, as the row is bound to it.
  PSListController* target = row->target() ? row->target() : this;
  plist::Value value = target->readPreferenceValue(*row);
  // A change goes to the row's target as it stands then.
  auto cell = makeCell(row, value.ref(), table.bounds().width(), [](plist::Value changed, PSSpecifier& r) {
    if (r.target()) r.target()->setPreferenceValue(std::move(changed), r);
  });
  return cell;
}

std::shared_ptr<PSListController> PSListController::controllerForSpecifier(PSSpecifier& row) {
  std::shared_ptr<PSListController> page;
  if (row.cellType() == PSCellType::LinkList) {
    page = std::make_shared<PSListItemsController>();
    page->setRegistry(registry_);
  } else if (row.detailControllerClass.isEmpty()) {
    log("Preferences: the link ", row.name().toStdString(), " names no detail class");
  } else if (!registry_) {
    log("Preferences: no registry to find ", row.detailControllerClass.toStdString());
  } else {
    page = registry_->makeController(row.detailControllerClass);
  }
  return page;
}

void PSListController::didSelectRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  table.deselectRowAtIndexPath(path, true);
  // Tapping elsewhere ends editing, so a typed text is handed over first.
  endEditing();
  PSSpecifier* row = rowAt(path);
  if (!row || !row->isEnabled()) return;
  if (row->cellType() == PSCellType::Button) {
    auto action = row->propertyForKey("action").string();
    PSListController* target = row->target() ? row->target() : this;
    if (!action || !registry_)
      log("Preferences: the button ", row->name().toStdString(), " has no action to run");
    else if (auto* run = registry_->action(target->className(), toQString(*action)))
      (*run)(*target, *row);
    return;
  }
  if (row->cellType() != PSCellType::Link && row->cellType() != PSCellType::LinkList) return;
  auto page = controllerForSpecifier(*row);
  if (!page || !navigationController()) return;
  // The page keeps its row alive: it was handed the shared row.
  for (const auto& shared : specifiers())
    if (shared.get() == row) page->setSpecifier(shared);
  page->setTitle(row->name());
  navigationController()->pushViewController(page, true);
}

std::vector<PSSpecifierPtr>& PSListItemsController::specifiers() {
  if (!specifiers_.empty() || !specifier()) return specifiers_;
  const PSSpecifier& list = *specifier();
  for (size_t i = 0; i < list.propertyForKey("validValues").size(); ++i) {
    auto item = std::make_shared<PSSpecifier>(titleOfValidValue(list, int(i)), PSCellType::ListItem);
    item->setProperty("value", list.propertyForKey("validValues").at(i).copy());
    specifiers_.push_back(std::move(item));
  }
  return specifiers_;
}

uk::UITableViewCellPtr PSListItemsController::cellForRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  auto& items = specifiers();
  if (path.section != 0 || size_t(path.row) >= items.size() || !specifier()) return nullptr;
  PSSpecifier& list = *specifier();
  plist::Value current = list.target() ? list.target()->readPreferenceValue(list) : plist::Value();
  auto cell = makeCell(items[size_t(path.row)], plist::Ref(), table.bounds().width(), nullptr);
  if (indexOfValidValue(list, current.ref()) == path.row)
    cell->setAccessoryType(uk::UITableViewCellAccessoryType::Checkmark);
  return cell;
}

void PSListItemsController::didSelectRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  table.deselectRowAtIndexPath(path, true);
  auto& items = specifiers();
  if (path.section != 0 || size_t(path.row) >= items.size() || !specifier() || !specifier()->target()) return;
  specifier()->target()->setPreferenceValue(items[size_t(path.row)]->propertyForKey("value").copy(), *specifier());
  reloadSpecifiers();
}

}  // namespace platform::preferences
