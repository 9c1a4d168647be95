// The unknown-callers rule's own index: the identifiers of an address
// book's contacts.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/contacts/contact_store.h"
#include "platform/foundation/host_values.h"

namespace calmora {

class KnownContacts {
 public:
  using ContactList = std::vector<std::shared_ptr<const platform::contacts::Contact>>;

  // Whether `contacts` holds a contact of this identifier (without
  // ":ABPerson"); an absent or empty one is nobody's. The identifiers are
  // gathered at the first question about a list and kept while it lives
  // and no other list is asked about. Thread-safe.
  bool knows(const std::shared_ptr<const ContactList>& contacts, const platform::Text& identifier);

 private:
  std::mutex mutex_;
  std::weak_ptr<const ContactList> of_;
  std::unordered_set<std::string> identifiers_;
};

}  // namespace calmora
