#include "hook/known_contacts.h"

#include "hook/text_forms.h"

namespace calmora {

bool KnownContacts::knows(const std::shared_ptr<const ContactList>& contacts, const platform::Text& identifier) {
  if (!identifier || identifier->empty() || !contacts) return false;
  std::lock_guard lock(mutex_);
  // A list that has gone locks to null, so a new list at its address is
  // never taken for it.
  if (of_.lock() != contacts) {
    identifiers_.clear();
    for (const auto& c : *contacts) identifiers_.insert(withoutABPerson(c->identifier));
    of_ = contacts;
  }
  return identifiers_.count(*identifier) > 0;
}

}  // namespace calmora
