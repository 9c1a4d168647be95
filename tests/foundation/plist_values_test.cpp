// The value rules every reader of the settings and the logs shares.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/foundation/plist.h"

namespace {
using platform::plist::Value;

TEST(PlistValues, ABooleanIsTrueForTrueOrANonZeroNumberAndNothingElse) {
  EXPECT_TRUE(Value::boolean(true).ref().truthy());
  EXPECT_TRUE(Value::integer(1).ref().truthy());
  EXPECT_TRUE(Value::integer(-1).ref().truthy());
  EXPECT_TRUE(Value::real(0.5).ref().truthy());
  EXPECT_FALSE(Value::boolean(false).ref().truthy());
  EXPECT_FALSE(Value::integer(0).ref().truthy());
  EXPECT_FALSE(Value::real(0.0).ref().truthy());
  EXPECT_FALSE(Value::real(std::nan("")).ref().truthy());
  // Text is never a boolean, whatever it says.
  EXPECT_FALSE(Value::string("true").ref().truthy());
  EXPECT_FALSE(Value::string("1").ref().truthy());
  EXPECT_FALSE(Value::dict().ref().truthy());
  EXPECT_FALSE(platform::plist::Ref().truthy());
}

TEST(PlistValues, AnIntegerComesFromANumberOrItsDecimalText) {
  EXPECT_EQ(Value::integer(-42).ref().integer(), -42);
  EXPECT_EQ(Value::integer(std::numeric_limits<int64_t>::min()).ref().integer(),
            std::numeric_limits<int64_t>::min());
  EXPECT_EQ(Value::real(3.9).ref().integer(), 3);
  EXPECT_EQ(Value::real(-3.9).ref().integer(), -3);
  EXPECT_EQ(Value::real(1e300).ref().integer(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Value::real(std::nan("")).ref().integer(), std::nullopt);
  EXPECT_EQ(Value::boolean(true).ref().integer(), 1);
  EXPECT_EQ(Value::string("17").ref().integer(), 17);
  EXPECT_EQ(Value::string("  -8").ref().integer(), -8);
  EXPECT_EQ(Value::string("+5").ref().integer(), 5);
  // What follows the digits is ignored; overflow saturates.
  EXPECT_EQ(Value::string("12abc").ref().integer(), 12);
  EXPECT_EQ(Value::string("99999999999999999999999").ref().integer(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Value::string("-99999999999999999999999").ref().integer(), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(Value::string("0x10").ref().integer(), 0);
  for (const char* notANumber : {"", " ", "abc", "-", "+ 1"})
    EXPECT_EQ(Value::string(notANumber).ref().integer(), std::nullopt) << notANumber;
  EXPECT_EQ(Value::array().ref().integer(), std::nullopt);
}

TEST(PlistValues, TextIsAStringOrTheDecimalTextOfANumber) {
  EXPECT_EQ(Value::string("héllo").ref().text(), "héllo");
  EXPECT_EQ(Value::string("").ref().text(), "");
  EXPECT_EQ(Value::integer(-7).ref().text(), "-7");
  EXPECT_EQ(Value::real(3.0).ref().text(), "3");
  EXPECT_EQ(Value::real(2.5).ref().text(), "2.5");
  EXPECT_EQ(Value::boolean(true).ref().text(), std::nullopt);
  EXPECT_EQ(Value::dict().ref().text(), std::nullopt);
}

TEST(PlistValues, EditsOfAMistypedOrEmptyViewChangeNothing) {
  auto array = Value::array();
  array.set("k", Value::boolean(true));
  EXPECT_EQ(array.size(), 0u);
  auto dict = Value::dict();
  dict.append(Value::boolean(true));
  dict.remove("absent");
  EXPECT_EQ(dict.size(), 0u);
  platform::plist::setItem(platform::plist::Ref(), "k", Value::boolean(true));
  EXPECT_FALSE(dict["k"]);
  EXPECT_FALSE(dict["k"]["deeper"]);
  EXPECT_FALSE(dict.ref().at(0));
}

// A year before 1000 is written with four digits, so that other readers of
// the format take it; later years are written as they are.
TEST(PlistValues, DatesAreWrittenWithFourDigitYears) {
  auto read = platform::plist::parseDictionary(
      "<plist version=\"1.0\"><dict><key>old</key><date>0999-01-01T00:00:00Z</date>"
      "<key>now</key><date>2024-05-06T07:08:09Z</date></dict></plist>");
  ASSERT_EQ(read.state, platform::plist::ReadState::Ok);
  const std::string xml = platform::plist::toXml(read.dict.ref());
  EXPECT_NE(xml.find("<date>0999-01-01T00:00:00Z</date>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<date>2024-05-06T07:08:09Z</date>"), std::string::npos) << xml;
}

// A binary file's date past year 9999 has no four-digit year: written as it
// came, it read back as another date. It is written empty, as a date that is
// no number is, and the XML reads back.
TEST(PlistValues, DatesNoFourDigitYearHoldsAreWrittenEmpty) {
  auto read = platform::plist::parseDictionary(
      "<plist version=\"1.0\"><dict><key>far</key><date>2001-01-01T00:00:00Z</date></dict></plist>");
  std::string binary = platform::plist::toBinary(read.dict.ref());
  // The date object: its marker, then its seconds since 2001 as a big-endian double.
  const size_t at = binary.find(std::string("\x33\0\0\0\0\0\0\0\0", 9));
  ASSERT_NE(at, std::string::npos);
  const double far = 1.8e14;  // some 5.7 million years on
  uint64_t bits;
  std::memcpy(&bits, &far, sizeof bits);
  for (int i = 0; i < 8; ++i) binary[at + 1 + size_t(i)] = static_cast<char>(bits >> (56 - 8 * i));
  auto farRead = platform::plist::parseDictionary(binary);
  ASSERT_EQ(farRead.state, platform::plist::ReadState::Ok);
  const std::string xml = platform::plist::toXml(farRead.dict.ref());
  EXPECT_NE(xml.find("<date/>"), std::string::npos) << xml;
  EXPECT_EQ(platform::plist::parseDictionary(xml).state, platform::plist::ReadState::Ok);
}

}  // namespace
