#include <gtest/gtest.h>

#include <tuple>

#include "hook/settings_snapshot.h"
#include "tests/support/log_capture.h"

namespace calmora {
namespace {

using platform::plist::Value;

void expectColor(std::string_view text, double r, double g, double b, double a) {
  SCOPED_TRACE(std::string(text));
  auto c = parseColor(text);
  ASSERT_TRUE(c.has_value());
  EXPECT_NEAR(c->red, r / 255.0, 1e-6);
  EXPECT_NEAR(c->green, g / 255.0, 1e-6);
  EXPECT_NEAR(c->blue, b / 255.0, 1e-6);
  EXPECT_NEAR(c->alpha, a, 1e-9);
}

TEST(ColorParsing, TheLengthOfTheTextChoosesTheFormAnythingElseIsOpaqueWhiteAndNoHexDigitNoColour) {
  expectColor("#E22300", 226, 35, 0, 1.0);
  expectColor("#FFF", 255, 255, 255, 1.0);
  expectColor("F00", 255, 0, 0, 1.0);
  expectColor("#80FF0000", 255, 0, 0, 128.0 / 255.0);
  expectColor("#12345", 255, 255, 255, 1.0);
  expectColor("##e22300", 226, 35, 0, 1.0);  // every "#" goes
  expectColor("0x1234", 0, 0x12, 0x34, 1.0);  // six characters, prefix included
  // The scan stops at the first non-digit; the length still counts it all.
  expectColor("12G456", 0, 0, 0x12, 1.0);
  // Symbols before the digits are skipped; white space is not.
  expectColor("$FF0000", 255, 255, 255, 1.0);
  expectColor("$F0000", 0x0F, 0, 0, 1.0);
  expectColor("0x", 255, 255, 255, 1.0);  // the 0 is the number, the x ends it
  // Text without a hex digit gives no colour at all.
  for (const char* text : {"#XYZ", "", " FF0000", "\xff\xfe"}) EXPECT_FALSE(parseColor(text).has_value()) << text;
}

// Text is no boolean, a number's only text is decimal, an empty text is
// absent: each wrong type gives the default, as no file at all does.
TEST(SettingsSnapshot, ValuesFollowTheBooleanIntegerAndTextRulesAndAnythingElseGivesTheDefaults) {
  auto d = Value::dict();
  d.set("isTweakEnabled", Value::integer(2));
  d.set("methodspecifier", Value::string("1"));
  d.set("sound", Value::integer(1005));
  d.set("ycoordinates", Value::real(20.7));
  bool enabled = false;
  SettingsSnapshot s = snapshotFrom(d.ref(), &enabled);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(std::tuple(s.methodspecifier, s.selectedSound, s.coordinatesForY), std::tuple(1, 1005u, 20.0));

  Value files[] = {Value::dict(), Value::dict()};
  files[1].set("sound", Value::string(""));
  files[1].set("methodspecifier", Value::dict());
  files[1].set("isTweakEnabled", Value::string("YES"));
  files[1].set("ignoretime", Value::string("true"));
  files[1].set("color", Value::string(""));
  files[1].set("xcoordinates", Value::dict());
  files[1].set("ycoordinates", Value::string("left"));
  for (const auto& file : files) {
    s = snapshotFrom(file.ref(), &enabled);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(std::tuple(s.methodspecifier, s.ignoretime, s.selectedSound, s.coordinatesForX, s.coordinatesForY),
              std::tuple(0, false, 1000u, 95.0, 95.0));
    EXPECT_EQ(s.chosenColor, parseColor("#E22300"));
  }
}

// "logLimit" keeps every record unless it is a count; anything else says so.
TEST(SettingsSnapshot, ALogLimitIsANonNegativeNumberAndAnythingElseKeepsEveryRecordWithALine) {
  auto d = Value::dict();
  EXPECT_EQ(snapshotFrom(d.ref()).logLimit, 0u);
  d.set("logLimit", Value::integer(1000));
  EXPECT_EQ(snapshotFrom(d.ref()).logLimit, 1000u);
  for (auto* wrong : {"number", "negative", "bool", "dict"}) {
    std::string_view w = wrong;
    d.set("logLimit", w == "number"     ? Value::string("100")
                      : w == "negative" ? Value::integer(-100)
                      : w == "bool"     ? Value::boolean(true)
                                        : Value::dict());
    testsupport::LogCapture log;
    EXPECT_EQ(snapshotFrom(d.ref()).logLimit, 0u) << wrong;
    EXPECT_TRUE(log.contains("logLimit")) << wrong << ": " << log.all();
  }
}

}  // namespace
}  // namespace calmora
