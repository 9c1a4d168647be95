#include "platform/contacts/vcard.h"

#include <gtest/gtest.h>

#include <regex>

namespace platform::contacts {
namespace {

Contact only(std::string_view text) {
  auto r = parseVCards(text);
  EXPECT_EQ(r.contacts.size(), 1u) << text;
  return r.contacts.empty() ? Contact{} : r.contacts[0];
}

TEST(VCardParsing, FoldedLinesAreJoinedWhateverTheLineEnd) {
  Contact c = only(
      "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Dupont-La\r\n ngue;Jean\r\n\tne;;;\r\nTEL:+33 1 23\n 45 67\nUID:AB\rCD-1\r\n"
      " 2\r\nEND:VCARD\r\n");
  EXPECT_EQ(c.familyName, "Dupont-Langue");
  EXPECT_EQ(c.givenName, "Jeanne");
  EXPECT_EQ(c.phoneNumbers, std::vector<std::string>{"+33 1 2345 67"});
  // A lone CR ends a line too, so "CD-1" stands on its own and is garbage.
  EXPECT_EQ(c.identifier, "AB:ABPerson");
}

TEST(VCardParsing, EscapesAreDecodedAndEscapedSeparatorsStayInsideTheirComponent) {
  Contact c = only(
      "BEGIN:VCARD\nN:O\\;Brien\\\\;Mary\\, Ann;;;\nUID:x\\,y\nTEL:555\\n1\nEND:VCARD\n");
  EXPECT_EQ(c.familyName, "O;Brien\\");
  EXPECT_EQ(c.givenName, "Mary, Ann");
  EXPECT_EQ(c.identifier, "x,y:ABPerson");
  EXPECT_EQ(c.phoneNumbers, std::vector<std::string>{"555\n1"});
}

TEST(VCardParsing, GroupedAndDifferentlyCasedPropertiesAreRead) {
  Contact c = only(
      "begin:vcard\nversion:3.0\nn:Doe;Jane;;;\nitem1.TEL;type=pref:111\nitem1.X-ABLabel:_$!<Mobile>!$_\n"
      "Tel;Type=HOME:222\nitem2.x-socialprofile;type=twitter:https://twitter.com/janed\nend:VCARD\n");
  EXPECT_EQ(c.givenName, "Jane");
  EXPECT_EQ(c.phoneNumbers, (std::vector<std::string>{"111", "222"}));
  EXPECT_EQ(c.socialProfiles, (std::vector<SocialProfile>{{"twitter", "janed"}}));
}

TEST(VCardParsing, ParametersOfEveryVersionAreUnderstood) {
  Contact c = only(
      "BEGIN:VCARD\nVERSION:4.0\nN:Roe;Ann;;;\n"
      // 2.1: bare types. 4.0: a tel: URI with a quoted type list.
      "TEL;CELL;VOICE:333\nTEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-555-0100\n"
      // 3.0 repeats TYPE and puts pref among the types; 4.0 quotes, and a
      // quoted value may hold ; : , and caret escapes.
      "X-SOCIALPROFILE;TYPE=pref;TYPE=facebook;X-USER=ann.roe:http://facebook.com/other\n"
      "X-SOCIALPROFILE;type=\"PREF,Mastodon\";x-user=\"a;b:c,^'d^'\":https://m.example/@x\n"
      "X-SOCIALPROFILE;type=flickr:x-apple:annr\nEND:VCARD\n");
  EXPECT_EQ(c.phoneNumbers, (std::vector<std::string>{"333", "+1-555-0100"}));
  EXPECT_EQ(c.socialProfiles, (std::vector<SocialProfile>{
                                  {"facebook", "ann.roe"}, {"Mastodon", "a;b:c,\"d\""}, {"flickr", "annr"}}));
}

TEST(VCardParsing, SeveralCardsComeInFileOrderAndNameFallsBackToFormattedName) {
  auto r = parseVCards(
      "\xEF\xBB\xBF" "BEGIN:VCARD\nN:A;Zed;;;\nUID:1\nEND:VCARD\n"
      "BEGIN:VCARD\nVERSION:4.0\nFN:Élodie Martin\nUID:2\nEND:VCARD\n"
      "BEGIN:VCARD\nN:C;Bea;;;\nFN:Ignored Name\nUID:3\nEND:VCARD\n");
  ASSERT_EQ(r.contacts.size(), 3u);
  EXPECT_EQ(r.contacts[0].identifier, "1:ABPerson");
  EXPECT_EQ(r.contacts[1].givenName, "Élodie Martin");
  EXPECT_EQ(r.contacts[1].familyName, "");
  EXPECT_EQ(r.contacts[2].givenName, "Bea");
  EXPECT_EQ(r.skippedLines, 0u);
}

TEST(VCardParsing, CardsWithoutUidGetStableDistinctUuidIdentifiers) {
  const std::string card = "BEGIN:VCARD\nVERSION:3.0\nPRODID:a\nN:Doe;Jane;;;\nTEL:123\nEND:VCARD\n";
  const std::string id = only(card).identifier;
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-"
                                              "[0-9A-F]{12}:ABPerson")))
      << id;
  // Line ends, folding and the exporter's stamps do not change who it is.
  EXPECT_EQ(only("BEGIN:VCARD\r\nVERSION:4.0\r\nPRODID:b\r\nREV:2020\r\nN:Doe;Ja\r\n ne;;;\r\nTEL:123\r\nEND:VCARD")
                .identifier,
            id);
  EXPECT_NE(only("BEGIN:VCARD\nN:Doe;Jane;;;\nTEL:124\nEND:VCARD\n").identifier, id);

  auto copies = parseVCards(card + card + card);
  ASSERT_EQ(copies.contacts.size(), 3u);
  EXPECT_EQ(copies.contacts[0].identifier, id);
  EXPECT_NE(copies.contacts[1].identifier, id);
  EXPECT_NE(copies.contacts[2].identifier, copies.contacts[1].identifier);
  EXPECT_EQ(parseVCards(card + card + card).contacts[2].identifier, copies.contacts[2].identifier);
}

TEST(VCardParsing, SocialProfileUserNameComesFromTheValueWhenNotGiven) {
  const std::pair<const char*, const char*> values[] = {
      {"https://twitter.com/jane", "jane"}, {"x-apple:jane", "jane"}, {"jane", "jane"}, {"https://twitter.com/", ""},
      {" http://www.facebook.com/people/jane.doe/ ", "jane.doe"}, {"https://twitter.com/jane?lang=fr#top", "jane"},
      {"https://twitter.com/j%C3%A9r%C3%B4me", "jérôme"}};
  for (auto [value, user] : values) EXPECT_EQ(userNameFromProfileValue(value), user) << value;

  Contact c = only(
      "BEGIN:VCARD\nN:D;J;;;\nX-SOCIALPROFILE;x-user=;type=linkedin:https://linkedin.com/in/jd\n"
      "X-SOCIALPROFILE:\nEND:VCARD\n");
  // An empty x-user does not hide the value; a profile naming nothing is dropped.
  EXPECT_EQ(c.socialProfiles, (std::vector<SocialProfile>{{"linkedin", "jd"}}));
}

TEST(VCardParsing, GarbageIsSkippedAndCountedWithoutLosingTheCards) {
  auto r = parseVCards(
      "stray text before any card\n"
      "BEGIN:VCARD\nN:Doe;Jane;;;\nthis line has no colon\nbad name here: value\n"
      "X-SOCIALPROFILE;type=\"never closed:https://x.com/a\n;leading:semicolon\n\x01\xff\xfe\n"
      "TEL:555\nEND:VCARD\nTEL:outside\nEND:VCARD\n");
  ASSERT_EQ(r.contacts.size(), 1u);
  EXPECT_EQ(r.contacts[0].givenName, "Jane");
  EXPECT_EQ(r.contacts[0].phoneNumbers, std::vector<std::string>{"555"});
  EXPECT_TRUE(r.contacts[0].socialProfiles.empty());
  EXPECT_EQ(r.skippedLines, 8u);
  EXPECT_EQ(r.firstSkippedLine, 1u);
  EXPECT_EQ(r.unterminatedCards, 0u);
}

TEST(VCardParsing, CardsCutShortKeepWhatNamesSomeone) {
  auto r = parseVCards(
      "BEGIN:VCARD\nN:Doe;Jane;;;\n"            // cut by the next BEGIN
      "BEGIN:VCARD\nVERSION:3.0\nNOTE:hi\n"     // nothing sensible: dropped
      "BEGIN:VCARD\nVERSION:3.0\nEND:VCARD\n"   // ended: kept even if empty
      "BEGIN:VCARD\nTEL:777\n");                // cut by the end of the file
  ASSERT_EQ(r.contacts.size(), 3u);
  EXPECT_EQ(r.contacts[0].givenName, "Jane");
  EXPECT_TRUE(r.contacts[1].givenName.empty());
  EXPECT_EQ(r.contacts[2].phoneNumbers, std::vector<std::string>{"777"});
  EXPECT_EQ(r.unterminatedCards, 3u);
  EXPECT_TRUE(parseVCards("").contacts.empty());
  EXPECT_TRUE(parseVCards("\n\n\r\n").contacts.empty());
}

}  // namespace
}  // namespace platform::contacts
