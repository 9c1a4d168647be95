#include "common/log_whole.h"

#include <gtest/gtest.h>

#include "common/log_xml.h"
#include "platform/foundation/plist.h"

namespace calmora::logs {
namespace {

namespace plist = platform::plist;

// What the serialiser writes for the same log parsed.
std::string serialised(std::string_view dict) {
  return plist::toXml(plist::parseDictionary("<plist version=\"1.0\">" + std::string(dict) + "</plist>").dict.ref());
}

TEST(WholeLog, IsWrittenInTheEnginesFormWithItsRecordsInKeyOrder) {
  const std::string one = "<key>1</key> <dict><key>from</key><string>b &amp; c</string><key>isRead</key><true/></dict>\n";
  const std::string zero =
      "<key>0</key><dict><key>n</key><integer>-5</integer><key>e</key><string/><key>isRead</key><false/></dict>";
  const std::string dict = "<dict>\n  " + one + "  " + zero + "<key>2</key><dict/></dict>";
  auto whole = validate(dict);
  ASSERT_TRUE(whole) << whole.error();
  EXPECT_EQ(whole->records, 3u);
  EXPECT_EQ(whole->bytes, serialised("<dict>" + zero + one + "<key>2</key><dict/></dict>"));
  auto layout = xml::scan(whole->bytes);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->unread(), 2u);
}

TEST(WholeLog, TakesWhatOnlyTheParseReads) {
  // A real, a nested value and a key given twice: the parse's last value counts.
  const std::string dict =
      "<dict><key>0</key><dict><key>x</key><real>1.5</real></dict>"
      "<key>1</key><dict><key>a</key><array><string>q</string></array></dict>"
      "<key>1</key><dict><key>from</key><string>last</string></dict></dict>";
  auto whole = validate(dict);
  ASSERT_TRUE(whole) << whole.error();
  EXPECT_EQ(whole->records, 2u);
  auto read = plist::parseDictionary(whole->bytes);
  EXPECT_EQ(*read.dict["1"]["from"].text(), "last");
  EXPECT_EQ(*read.dict["0"]["x"].real(), 1.5);
}

TEST(WholeLog, RefusesWhatIsNoLog) {
  struct Case {
    const char* dict;
    const char* why;
  } cases[] = {
      {"<array/>", "no dictionary"},
      {"", "no dictionary"},
      {"<dict><key>0</key><string>x</string></dict>", "the entry under \"0\" is no record"},
      {"<dict><key>1</key><dict/></dict>", "not 0 to 0"},
      {"<dict><key>00</key><dict/><key>1</key><dict/></dict>", "not 0 to 1"},
      {"<dict><key>0</key><dict><key>a</key><real>1</real></dict><key>2</key><dict/></dict>", "not 0 to 1"},
      {"<dict><key>0</key><dict>", "does not parse"},
  };
  for (const Case& c : cases) {
    auto whole = validate(c.dict);
    ASSERT_FALSE(whole) << c.dict;
    EXPECT_NE(whole.error().find(c.why), std::string::npos) << c.dict << ": " << whole.error();
  }
}

TEST(LogXml, FindsTheRootsEntriesWithoutReadingTheirValues) {
  const std::string doc =
      "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict><key>a &amp; b</key><dict><key>x</key><array>"
      "<dict/><string>&lt;</string></array></dict>\n<key>n</key><integer>1</integer></dict></plist>\n";
  auto entries = xml::rootEntries(doc);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].key, "a & b");
  EXPECT_EQ((*entries)[0].value, "<dict><key>x</key><array><dict/><string>&lt;</string></array></dict>");
  EXPECT_EQ((*entries)[1].value, "<integer>1</integer>");
  EXPECT_EQ(xml::rootValue(doc), std::string_view(doc).substr(doc.find("<dict>"), doc.find("</plist>") - doc.find("<dict>")));
  // Comments and cut files are the parse's.
  EXPECT_FALSE(xml::rootEntries("<plist><dict><key>a</key><!-- x --><dict/></dict></plist>"));
  EXPECT_FALSE(xml::rootEntries("<plist><dict><key>a</key><dict><dict/></dict></plist>"));
}

}  // namespace
}  // namespace calmora::logs
