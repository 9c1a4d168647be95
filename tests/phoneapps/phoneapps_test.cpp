#include <gtest/gtest.h>

#include "platform/phoneapps/contact_list.h"
#include "platform/phoneapps/conversations.h"

namespace platform::phoneapps {
namespace {

using contacts::Person;

Person named(std::string given, std::string family, std::string org = {}) {
  return Person{{}, std::move(given), std::move(family), std::move(org), {}, {}, {}};
}

TEST(ContactIndexTest, SectionsByFamilyNameWithAccentsFoldedAndTheRestUnderHash) {
  ContactIndex index({named("Zoe", "Zetterberg"), named("Émile", ""), named("", "", "123 Plumbing"),
                      named("Anna", "ermann"), named("Bob", "Adams"), named("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "")});
  std::vector<std::pair<QString, std::vector<std::string>>> shown;
  for (const auto& s : index.sections()) {
    shown.push_back({s.letter, {}});
    for (size_t i : s.rows) shown.back().second.push_back(index.people()[i].displayName());
  }
  using Shown = decltype(shown);
  EXPECT_EQ(shown, (Shown{{"A", {"Bob Adams"}},
                          {"E", {"Émile", "Anna ermann"}},
                          {"Z", {"Zoe Zetterberg"}},
                          {"#", {"123 Plumbing", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"}}}));
}

TEST(ContactIndexTest, SearchFindsEveryWordInNameCompanyNumberOrAddressInListOrder) {
  Person zed = named("Zed", "Alpha", "Acme");
  zed.phones = {{"mobile", "+1 555 0100"}};
  Person amy = named("Amy", "Beta");
  amy.emails = {{"home", "amy@acme.example"}};
  ContactIndex index({zed, amy, named("Carl", "Gamma")});
  auto names = [&](const QString& text) {
    std::vector<std::string> out;
    for (size_t i : index.search(text)) out.push_back(index.people()[i].displayName());
    return out;
  };
  EXPECT_EQ(names("ACME"), (std::vector<std::string>{"Zed Alpha", "Amy Beta"}));
  EXPECT_EQ(names("acme zed"), (std::vector<std::string>{"Zed Alpha"}));
  EXPECT_EQ(names("555 01"), (std::vector<std::string>{"Zed Alpha"}));
  EXPECT_TRUE(names("acme gamma").empty());
}

TEST(ConversationsTest, OnePerSenderNewestFirstMessagesOldestFirstUnreadUntilAllOpened) {
  // As read: newest first.
  std::vector<MessageEntry> read = {{5, 50, "Bea", {}, "three", false}, {4, 40, "Cy", {}, "hi", true},
                                    {3, 30, "Bea", {}, "two", true},    {2, 20, "Bea", {}, "one", true}};
  auto list = conversationsOf(read);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].title, "Bea");
  EXPECT_TRUE(list[0].unread);
  EXPECT_FALSE(list[1].unread);
  std::vector<QString> texts;
  for (const auto& m : list[0].messages) texts.push_back(m.message);
  EXPECT_EQ(texts, (std::vector<QString>{"one", "two", "three"}));
}

}  // namespace
}  // namespace platform::phoneapps
