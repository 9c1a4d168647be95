// The address book as the people who keep it see it, and its writers: the
// Contacts app and `simctl contacts`. Every change takes the book's writers'
// lock, reads the file afresh, changes only the card it is about and
// replaces the file atomically, so a card another writer added meanwhile is
// kept, and so is whatever a card holds that is not edited here (photos,
// notes, addresses, properties of other programs).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/contacts/contact.h"
#include "platform/foundation/error.h"

namespace platform::contacts {

struct LabeledValue {
  std::string label;  // "mobile", "home", "work"... ; may be empty
  std::string value;
  bool operator==(const LabeledValue&) const = default;
};

struct Person {
  std::string identifier;  // "<UID>:ABPerson"; empty for one not yet added
  std::string givenName;
  std::string familyName;
  std::string organization;
  std::vector<LabeledValue> phones;
  std::vector<LabeledValue> emails;
  std::vector<SocialProfile> socialProfiles;  // label: the service

  bool operator==(const Person&) const = default;
  // "Given Family", else the organisation, else the first number or e-mail.
  std::string displayName() const;
};

struct BookReading {
  std::vector<Person> people;  // file order
  // What could not be read, for the person to be told ("2 lines that are no
  // vCard property, the first at line 7"); empty when everything was read.
  std::string problem;
  // A card cut short: a rewrite could lose what follows it, so the book is
  // not written until someone mends it by hand.
  bool damaged = false;
};

// The book at `file`; a missing file is an empty book. Unreadable (a folder,
// a file past the readers' limit...) is an error.
Result<BookReading> readPeople(const std::filesystem::path& file);

// Each answers NotFound for a person not in the book, Malformed for a
// damaged book (left as it was), LockFailed or WriteFailed.
Result<std::string> addPerson(const std::filesystem::path& file, const Person& person);  // the identifier
Result<void> updatePerson(const std::filesystem::path& file, const Person& person);
Result<void> deletePerson(const std::filesystem::path& file, const std::string& identifier);

// The lock every writer of `file` holds.
std::filesystem::path writersLockOf(const std::filesystem::path& file);

// The card `person` is written as, without BEGIN/END, lines ending in `eol`.
std::string cardLines(const Person& person, const std::string& uid, std::string_view eol);

}  // namespace platform::contacts
