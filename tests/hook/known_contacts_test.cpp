#include <gtest/gtest.h>

#include "hook/known_contacts.h"

namespace calmora {
namespace {

using platform::contacts::Contact;

std::shared_ptr<const KnownContacts::ContactList> book(std::vector<std::string> identifiers) {
  auto list = std::make_shared<KnownContacts::ContactList>();
  for (auto& id : identifiers) list->push_back(std::make_shared<const Contact>(Contact{std::move(id), "", "", {}, {}}));
  return list;
}

TEST(KnownContacts, AnIdentifierIsKnownOnlyToTheAddressBookAskedAbout) {
  KnownContacts known;
  const auto first = book({"A1B2-0001:ABPerson", "A1B2-0002"});
  EXPECT_TRUE(known.knows(first, std::string("A1B2-0001")));
  EXPECT_TRUE(known.knows(first, std::string("A1B2-0002")));
  for (const platform::Text& nobody : {platform::Text(), platform::Text(""), platform::Text("A1B2"),
                                       platform::Text("A1B2-0001:ABPerson")})
    EXPECT_FALSE(known.knows(first, nobody)) << nobody.value_or("(absent)");
  EXPECT_FALSE(known.knows(nullptr, std::string("A1B2-0001")));

  const auto second = book({"C3D4-0003"});
  EXPECT_TRUE(known.knows(second, std::string("C3D4-0003")));
  EXPECT_FALSE(known.knows(second, std::string("A1B2-0001")));
  EXPECT_TRUE(known.knows(first, std::string("A1B2-0001")));

  // A book that replaces one that has gone may take its address: it is
  // still a book of its own.
  for (int i = 0; i < 20; ++i) {
    auto before = book({"OLD-" + std::to_string(i)});
    ASSERT_TRUE(known.knows(before, "OLD-" + std::to_string(i)));
    std::vector<std::string> ids = {"NEW-" + std::to_string(i)};
    before.reset();
    auto after = book(std::move(ids));
    EXPECT_TRUE(known.knows(after, "NEW-" + std::to_string(i))) << i;
    EXPECT_FALSE(known.knows(after, "OLD-" + std::to_string(i))) << i;
  }
}

}  // namespace
}  // namespace calmora
