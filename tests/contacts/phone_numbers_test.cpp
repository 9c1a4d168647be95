// Numbers as a phone reads them: the forms of one number in a region, short
// numbers by their digits, which contact a number finds, emergency numbers.
#include <gtest/gtest.h>

#include "platform/contacts/contact_store.h"
#include "platform/contacts/phone_numbers.h"

namespace {

using platform::contacts::Contact;
using platform::contacts::NumberBook;
using platform::contacts::PhoneNumbers;

Contact person(std::string id, std::string given, std::vector<std::string> numbers) {
  return Contact{id + ":ABPerson", std::move(given), "Roe", std::move(numbers), {}};
}

std::string found(NumberBook& book, platform::contacts::ContactStore& store, std::string_view number) {
  auto c = book.contactFor(store, number);
  return c ? c->identifier : "(none)";
}

TEST(PhoneNumbers, TheFormsOfOneNumberFindItsContactInTheDevicesRegion) {
  auto store = platform::contacts::makeFixedStore({
      person("A", "Ann", {"+1 415 555 0100"}),
      person("B", "Bea", {"911", "08"}),
      person("C", "Cai", {"+46 8 123 456 78"}),
      person("D", "Dan", {"(415) 555-0100"}),  // the same number as Ann: Ann comes first
  });
  NumberBook us(PhoneNumbers("en_US"));
  struct Row {
    const char* number;
    const char* contact;
  } rows[] = {
      {"+1 415 555 0100", "A:ABPerson"},
      {"(415) 555-0100", "A:ABPerson"},
      {"415.555.0100", "A:ABPerson"},
      {"+14155550100", "A:ABPerson"},
      {"\xef\xbc\x94\xef\xbc\x91\xef\xbc\x95 555 0100", "A:ABPerson"},  // full-width 415
      {"911", "B:ABPerson"},
      {"0 8", "B:ABPerson"},  // the same digits, however short
      {"+46 8 12345678", "C:ABPerson"},
      {"011 46 8 123 456 78", "C:ABPerson"},  // dialled from the US
      {"415 555 0101", "(none)"},
      {"Ann Roe", "(none)"},  // a name is no number
      {"", "(none)"},
      {"+", "(none)"},
  };
  for (const auto& r : rows) EXPECT_EQ(found(us, *store, r.number), r.contact) << r.number;

  NumberBook sweden(PhoneNumbers("sv_SE"));
  EXPECT_EQ(found(sweden, *store, "08-123 456 78"), "C:ABPerson");
  EXPECT_EQ(found(sweden, *store, "(415) 555-0101"), "(none)");
}

TEST(PhoneNumbers, TheBookFollowsTheStore) {
  auto first = platform::contacts::makeFixedStore({person("A", "Ann", {"555 0100"})});
  auto second = platform::contacts::makeFixedStore({person("B", "Bea", {"555 0100"})});
  NumberBook book(PhoneNumbers("en_US"));
  EXPECT_EQ(found(book, *first, "5550100"), "A:ABPerson");
  EXPECT_EQ(found(book, *second, "5550100"), "B:ABPerson");
}

TEST(PhoneNumbers, EmergencyNumbersAreTheRegionsAndTheListedOnesReadAsAPhoneReadsThem) {
  const std::string_view listed[] = {"08", "112"};
  struct Row {
    const char* locale;
    const char* text;
    bool emergency;
  } rows[] = {
      {"en_US", "911", true},
      {"en_US", " 911 ", true},
      {"en_US", "+1 911", true},
      {"en_US", "\xef\xbc\x99\xef\xbc\x91\xef\xbc\x91", true},  // full-width 911
      {"en_US", "08", true},                                     // listed
      {"en_US", "999", false},
      {"en_US", "9110", false},
      {"en_US", "Flat 911", false},
      {"en_GB", "999", true},
      {"en_GB", "+44 999", true},
      {"en_US", "+44 999", true},  // the UK's, dialled with its code
      {"sv_SE", "112", true},
      {"sv_SE", "+1 911", true},
      {"sv", "911", false},  // no region: only the listed ones
      {"sv", "112", true},
      {"en_US", "", false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(PhoneNumbers(r.locale).isEmergency(r.text, listed), r.emergency) << r.locale << " " << r.text;
  EXPECT_FALSE(PhoneNumbers("en_US").isEmergency(std::string(10000, '7')));
}

TEST(PhoneNumbers, ADisplayNameIsGivenAndFamilyName) {
  EXPECT_EQ(displayName(Contact{"A", "Ann", "Roe", {}, {}}), "Ann Roe");
  EXPECT_EQ(displayName(Contact{"A", "", "Roe", {}, {}}), "Roe");
  EXPECT_EQ(displayName(Contact{"A", "", "", {}, {}}), "");
}

}  // namespace
