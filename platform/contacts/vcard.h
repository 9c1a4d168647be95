// Reads address books in the vCard format (3.0 and 4.0, and the 2.1 habit of
// bare type parameters) as address-book programs export them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/contacts/contact.h"

namespace platform::contacts {

struct VCardParseResult {
  std::vector<Contact> contacts;  // file order
  // Lines that are no vCard property, or lie outside any card; skipped.
  size_t skippedLines = 0;
  size_t firstSkippedLine = 0;  // 1-based physical line, 0 when none
  // Cards cut short by the end of the file or by the next BEGIN.
  size_t unterminatedCards = 0;
};

// Never fails: what cannot be read is counted and left out. A card without
// UID gets an identifier hashed from its content, so it is the same in every
// process and run as long as the card reads the same.
VCardParseResult parseVCards(std::string_view text);

// The user name a social-profile value names when it has no x-user
// parameter: the last path part of a URL ("https://x.com/jane/" -> "jane")
// or what follows the scheme ("x-apple:jane" -> "jane").
std::string userNameFromProfileValue(std::string_view value);

namespace vcard {
struct Property;
}
// An X-SOCIALPROFILE or SOCIALPROFILE line as a profile: its first type that
// is not the preference mark, and its x-user or the user name its value names.
SocialProfile socialProfileOf(const vcard::Property& p);

}  // namespace platform::contacts
