// The address book as a list: people in A-Z sections (letters of their
// family name, else given name; "#" for the rest), a search field above,
// "+" to add a person. Contacts' first screen and the Phone app's Contacts tab.
#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/contacts/address_book.h"
#include "platform/foundation/file_io.h"
#include "platform/uikit/table_view_controller.h"

namespace platform::phoneapps {

// The people of a book, sorted and sectioned once, with a search over them.
class ContactIndex {
 public:
  explicit ContactIndex(std::vector<contacts::Person> people);
  struct Section {
    QString letter;
    std::vector<size_t> rows;  // indexes into people()
  };
  const std::vector<contacts::Person>& people() const { return people_; }
  const std::vector<Section>& sections() const { return sections_; }
  // Whose name, organisation, number or address holds every word of `text`,
  // case-insensitively, in list order.
  std::vector<size_t> search(const QString& text) const;

 private:
  std::vector<contacts::Person> people_;
  std::vector<Section> sections_;
  // Per person, folded; made at the first search, not for the first screen.
  mutable std::vector<QString> haystacks_;
};

class ContactListController : public uikit::UITableViewController {
 public:
  explicit ContactListController(std::filesystem::path book);

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  int numberOfSectionsInTableView(uikit::UITableView&) override;
  int numberOfRowsInSection(uikit::UITableView&, int section) override;
  uikit::UITableViewCellPtr cellForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
  std::optional<QString> titleForHeaderInSection(uikit::UITableView&, int section) override;
  std::optional<QString> titleForFooterInSection(uikit::UITableView&, int section) override;
  void didSelectRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;

  // Reads the book again if it changed since; true when it did.
  bool reload();
  void search(const QString& text);
  const ContactIndex& index() const { return index_; }

 private:
  const contacts::Person* personAt(uikit::NSIndexPath path) const;
  std::filesystem::path book_;
  std::optional<FileVersion> read_;  // the version shown
  bool everRead_ = false;
  ContactIndex index_{std::vector<contacts::Person>{}};
  QString problem_;
  std::optional<std::vector<size_t>> found_;  // while searching
};

// A name cut for a list row: a name of 100 KB is drawn as its start.
QString listText(const std::string& text);

}  // namespace platform::phoneapps
