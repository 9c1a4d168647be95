// What the contact list shows, apart from its views: one row per contact
// that has a phone number, in name order, and the count for the title.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "CalmoPrefs/ordered_dictionary.h"
#include "platform/contacts/contact.h"
#include "platform/foundation/plist.h"

namespace calmoprefs {

// The contact's key in the settings file: its identifier without ":ABPerson".
QString contactKey(const platform::contacts::Contact& contact);
// "Given Family", or whichever of the two is not empty.
QString displayName(const platform::contacts::Contact& contact);

// Contact key to display name for every contact with a phone number, ordered
// by name with a localized case-insensitive comparison. Contacts with equal
// names each keep a row and stand in the order of their contact keys.
OrderedDictionary sortedContacts(const std::vector<std::shared_ptr<const platform::contacts::Contact>>& contacts);

// Whether the entry of `key` in `settings` says the contact is blocked.
bool isBlocked(platform::plist::Ref settings, const QString& key);
// The contact entries (dictionary values) of `settings` whose "isBlocked" is on.
long blockedCount(platform::plist::Ref settings);
// "Blocked Contacts N" while any contact is blocked, else "N Contacts".
QString contactListTitle(long blocked, size_t listed);

}  // namespace calmoprefs
