// The platform's contact store: the device's address book as the processes
// of the device query it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/contacts/contact.h"

namespace platform::contacts {

inline constexpr std::string_view kAddressBookPath = "/var/mobile/Library/AddressBook/contacts.vcf";

class ContactStore {
 public:
  virtual ~ContactStore() = default;

  // Contacts whose name fits `text`: every word of it is a case-insensitive
  // (Unicode case folding) prefix of a word of the given or family name.
  // Blank text fits nobody. File order.
  virtual std::vector<std::shared_ptr<const Contact>> contactsMatchingName(std::string_view text) = 0;

  // All contacts in file order; a snapshot that callers may keep.
  virtual std::shared_ptr<const std::vector<std::shared_ptr<const Contact>>> allContacts() = 0;

  // Moves on whenever the answers may have changed, so that callers can
  // cache what they derive from the contacts.
  virtual uint64_t generation() = 0;
};

enum class ContactsAccess { Granted, Refused };

// The device's store: reads the vCard file, again only once the file has
// changed (checked on every query). A missing or unreadable book, or refused
// access, gives no contacts. Thread safe.
std::shared_ptr<ContactStore> makeVCardStore(std::filesystem::path file, bool accessRefused);
std::shared_ptr<ContactStore> makeVCardStore(std::filesystem::path file, ContactsAccess access);

// A store of fixed contacts, for tests and tools that have no address book.
std::shared_ptr<ContactStore> makeFixedStore(std::vector<Contact> contacts);

// The store of this process. Created on first use from the device root's
// address book and the device description's contacts access; setSharedStore
// replaces it (null: create it again on next use). A replaced store is kept
// alive, so references handed out earlier stay valid.
ContactStore& sharedStore();
void setSharedStore(std::shared_ptr<ContactStore> store);

}  // namespace platform::contacts
