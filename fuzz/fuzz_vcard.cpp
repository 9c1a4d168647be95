// Bytes as an address book, after a short name query: the reader never
// fails, reads the same text the same way, gives every contact a person's
// identifier, and each contact is found by its own given and family name.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "platform/contacts/contact_set.h"
#include "platform/contacts/vcard.h"

using namespace platform::contacts;

namespace {

bool blank(const std::string& s) { return foldedWords(s).empty(); }

bool contains(const ContactList& list, const Contact& c) {
  for (const auto& p : list)
    if (p->identifier == c.identifier) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  std::string query = in.ConsumeRandomLengthString(64);
  std::string book = in.ConsumeRemainingBytesAsString();

  VCardParseResult parsed = parseVCards(book);
  for (const auto& c : parsed.contacts) FUZZ_CHECK(c.identifier.size() > 9 && c.identifier.ends_with(":ABPerson"));
  FUZZ_CHECK(parseVCards(book).contacts == parsed.contacts);

  std::vector<Contact> contacts = parsed.contacts;
  ContactSet set(std::move(contacts));
  if (blank(query)) FUZZ_CHECK(set.matchingName(query).empty());
  for (const auto& c : parsed.contacts) {
    if (!blank(c.givenName)) FUZZ_CHECK(contains(set.matchingName(c.givenName), c));
    if (!blank(c.familyName)) FUZZ_CHECK(contains(set.matchingName(c.familyName), c));
  }
  userNameFromProfileValue(query);
  return 0;
}
