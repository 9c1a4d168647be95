// A person's page (the whole name, numbers, addresses, profiles; Edit and
// Delete) and the form that adds or edits a person.
#pragma once

#include <filesystem>
#include <map>

#include "platform/contacts/address_book.h"
#include "platform/uikit/table_view_controller.h"

namespace platform::phoneapps {

class PersonController : public uikit::UITableViewController {
 public:
  PersonController(std::filesystem::path book, contacts::Person person);
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  int numberOfSectionsInTableView(uikit::UITableView&) override { return 5; }
  int numberOfRowsInSection(uikit::UITableView&, int section) override;
  uikit::UITableViewCellPtr cellForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
  void didSelectRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;

 private:
  void confirmDelete();
  std::filesystem::path book_;
  contacts::Person person_;
};

class PersonEditController : public uikit::UITableViewController {
 public:
  // An empty identifier: a new person, added at "Done".
  PersonEditController(std::filesystem::path book, contacts::Person person);
  void viewDidLoad() override;
  int numberOfSectionsInTableView(uikit::UITableView&) override { return 4; }
  int numberOfRowsInSection(uikit::UITableView&, int section) override;
  uikit::UITableViewCellPtr cellForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
  std::optional<QString> titleForHeaderInSection(uikit::UITableView&, int section) override;
  void didSelectRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;

  const contacts::Person& draft() const { return draft_; }
  // Writes the draft; an alert says why when it could not.
  bool save();

 private:
  std::filesystem::path book_;
  contacts::Person draft_;
  std::map<std::pair<int, int>, uikit::UITableViewCellPtr> cells_;
};

}  // namespace platform::phoneapps
