// PSListController: a preferences page. Its rows are specifiers, asked for
// through `specifiers()` whenever the table needs them; groups make the
// table's sections. Each cell shows what readPreferenceValue answers at the
// moment it is configured and hands a change to setPreferenceValue:
//
//   switch     a boolean
//   segment    the chosen "validValues" item, as it stands in the plist
//   slider     a real
//   edit text  a string, when editing ends
//   link list  the chosen "validValues" item, from a list-items page
//
// A link pushes a new page of its "detail" class (setSpecifier first); a
// button calls its "action" on its target through the pane's registry.
#pragma once

#include <memory>
#include <vector>

#include "platform/foundation/plist.h"
#include "platform/preferences/bundle.h"
#include "platform/preferences/row.h"
#include "platform/uikit/table_view_controller.h"

namespace platform::preferences {

class PaneRegistry;

class PSListController : public uikit::UITableViewController {
 public:
  PSListController();

  // The page's rows; the default answers the page's own list, `specifiers_`.
  virtual std::vector<PSSpecifierPtr>& specifiers() { return specifiers_; }
  // The rows of the plist NAME.plist of the page's bundle, each bound to
  // `target`. A missing or broken plist gives no rows, with a diagnostic line.
  std::vector<PSSpecifierPtr> loadSpecifiersFromPlistName(const QString& name, PSListController* target) const;
  // The row that opened this page, given before its rows are asked for.
  virtual void setSpecifier(PSSpecifierPtr specifier) { specifier_ = std::move(specifier); }
  const PSSpecifierPtr& specifier() const { return specifier_; }

  // The value a row shows. The default reads the row's "key" from the
  // preferences file of its "defaults" domain, else answers its "default".
  virtual plist::Value readPreferenceValue(const PSSpecifier& specifier);
  // The default stores the value under the row's "key" in the preferences
  // file of its "defaults" domain; a row without both stores nothing.
  virtual void setPreferenceValue(plist::Value value, PSSpecifier& specifier);

  // The pane's bundle, and the registry its names are looked up in; a page
  // made by the registry has both, and so do the pages it opens.
  const NSBundle* bundle() const;
  const PaneRegistry* registry() const { return registry_; }
  void setRegistry(const PaneRegistry* registry) { registry_ = registry; }
  // The class name the registry made this page as.
  const QString& className() const { return className_; }
  void setClassName(QString name) { className_ = std::move(name); }

  // Rows are asked for again; cells read their values anew. A text field
  // being edited stays in editing, with what was typed, in its new cell.
  void reloadSpecifiers();
  // The same on the next turn of the event loop: for a change handed over
  // by a control, whose cell must outlive its own handler.
  void reloadSpecifiersSoon();
  // A value was not stored (the write failed for good): an alert "Setting
  // not saved." says why, and the rows show what the file holds.
  void settingNotSaved(const QString& why);

  void viewWillAppear(bool animated) override;
  // A text being typed is handed over, as on any other way out of its field.
  void viewWillDisappear(bool animated) override;
  int numberOfSectionsInTableView(uikit::UITableView&) override;
  int numberOfRowsInSection(uikit::UITableView&, int section) override;
  uikit::UITableViewCellPtr cellForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
  std::optional<QString> titleForHeaderInSection(uikit::UITableView&, int section) override;
  std::optional<QString> titleForFooterInSection(uikit::UITableView&, int section) override;
  double heightForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
  void didSelectRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;

 protected:
  std::vector<PSSpecifierPtr> specifiers_;
  // A link or link list was tapped: the page it opens (null: nothing opens).
  virtual std::shared_ptr<PSListController> controllerForSpecifier(PSSpecifier& specifier);
  // The row at a path of the table; null for a group's header or no row.
  PSSpecifier* rowAt(uikit::NSIndexPath path);

 private:
  struct Section {
    PSSpecifierPtr group;  // null for rows before the first group
    std::shared_ptr<uikit::UIView> header;  // from "headerCellClass", shown as the first row
    std::vector<PSSpecifierPtr> rows;
  };
  const std::vector<Section>& sections();
  uikit::UITableViewCellPtr headerCell(const Section& section);
  // The header laid out at the height it asks for, and the row that holds
  // everything it draws.
  double headerRowHeight(const Section& section, double width);

  PSSpecifierPtr specifier_;
  const PaneRegistry* registry_ = nullptr;
  QString className_;
  std::vector<Section> sections_;
  bool sectionsValid_ = false;
  bool reloadDue_ = false;
};

// The page a link list opens: one row per "validTitles" item, a checkmark
// on the value the list's target reads; choosing hands the matching
// "validValues" item to the target's setPreferenceValue.
class PSListItemsController : public PSListController {
 public:
  std::vector<PSSpecifierPtr>& specifiers() override;
  void didSelectRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
  uikit::UITableViewCellPtr cellForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
};

}  // namespace platform::preferences
