// One reading of an address book: the contacts in file order and their names
// case-folded once, so that a name query is a byte scan with no Unicode work
// per contact.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/contacts/contact.h"

namespace platform::contacts {

using ContactList = std::vector<std::shared_ptr<const Contact>>;

// The words of `text` (split at Unicode white space), case-folded and in
// composed form, as UTF-8: what the name predicate compares.
std::vector<std::string> foldedWords(std::string_view text);

class ContactSet {
 public:
  explicit ContactSet(std::vector<Contact> contacts);

  const std::shared_ptr<const ContactList>& all() const { return contacts_; }

  // Every word of `text` is a prefix of some word of the given or family
  // name (two query words may fit the same name word). Blank text fits nobody.
  ContactList matchingName(std::string_view text) const;

 private:
  std::shared_ptr<const ContactList> contacts_;
  std::string words_;                    // every folded name word, back to back
  std::vector<uint32_t> wordEnds_;       // end offset of each word in words_
  std::vector<uint32_t> firstWordOf_;    // contact i owns words [firstWordOf_[i], firstWordOf_[i + 1])
};

}  // namespace platform::contacts
