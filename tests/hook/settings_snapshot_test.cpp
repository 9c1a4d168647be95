#include <gtest/gtest.h>

#include "common/names.h"
#include "hook/messaging_apps.h"
#include "hook/process_state.h"
#include "hook/settings_snapshot.h"
#include "tests/hook/device_support.h"

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

TEST(ColorParsing, TheLengthOfTheTextChoosesTheFormAndAnythingElseIsOpaqueWhite) {
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
}

TEST(ColorParsing, TextWithoutAHexDigitGivesNoColour) {
  for (const char* text : {"#XYZ", "", " FF0000", "\xff\xfe"}) EXPECT_FALSE(parseColor(text).has_value()) << text;
}

TEST(SettingsSnapshot, ValuesFollowTheBooleanIntegerAndTextRules) {
  auto d = Value::dict();
  d.set("isTweakEnabled", Value::integer(2));  // a non-zero number is true
  d.set("methodspecifier", Value::string("1"));  // decimal text
  d.set("ignoretime", Value::boolean(true));
  d.set("sound", Value::integer(1005));  // a number through its text
  d.set("xcoordinates", Value::string("10"));
  d.set("ycoordinates", Value::real(20.7));
  bool enabled = false;
  SettingsSnapshot s = snapshotFrom(d.ref(), &enabled);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(s.methodspecifier, 1);
  EXPECT_TRUE(s.ignoretime);
  EXPECT_EQ(s.selectedSound, 1005u);
  EXPECT_EQ(s.coordinatesForX, 10.0);
  EXPECT_EQ(s.coordinatesForY, 20.0);
}

// Text is no boolean, a number's only text is decimal, an empty text is
// absent: each gives the default, as no file at all does.
TEST(SettingsSnapshot, AbsentAndWrongTypedValuesGiveTheDefaults) {
  Value files[] = {Value::dict(), Value::dict()};
  files[1].set("sound", Value::string(""));
  files[1].set("methodspecifier", Value::dict());
  files[1].set("isTweakEnabled", Value::string("YES"));
  files[1].set("ignoretime", Value::string("true"));
  files[1].set("color", Value::string(""));
  files[1].set("xcoordinates", Value::dict());
  files[1].set("ycoordinates", Value::string("left"));
  for (const auto& d : files) {
    bool enabled = true;
    SettingsSnapshot s = snapshotFrom(d.ref(), &enabled);
    EXPECT_FALSE(enabled);
    EXPECT_FALSE(s.ignoretime);
    EXPECT_EQ(s.methodspecifier, 0);
    EXPECT_EQ(s.selectedSound, 1000u);
    EXPECT_EQ(s.chosenColor, parseColor("#E22300"));
    EXPECT_EQ(s.coordinatesForX, 95.0);
    EXPECT_EQ(s.coordinatesForY, 95.0);
  }
}

using LoadTime = testing::HookDevice;

// The order of the ten installations is the device test's (signals_e2e.sh),
// which sees them all in a fresh process.
TEST_F(LoadTime, AMissingOrCorruptSettingsFileInstallsNothingButTheMessagingAppsAreListed) {
  for (bool corrupt : {false, true}) {
    SCOPED_TRACE(corrupt ? "corrupt" : "missing");
    if (corrupt) writeFile(names::kSettingsPath, "<?xml version=\"1.0\"?><plist><dict><key>isTweakEnabled</key><tr");
    size_t before = platform::runtime::installations().size();
    boot();
    EXPECT_EQ(platform::runtime::installations().size(), before);
    EXPECT_EQ(process().snapshot.selectedSound, 1000u);
    EXPECT_EQ(process().messagingApps.size(), 10u);
    EXPECT_TRUE(isMessagingApp("org.whispersystems.signal"));
    EXPECT_FALSE(isMessagingApp("org.whispersystems.signalCall"));
  }
}

}  // namespace
}  // namespace calmora
