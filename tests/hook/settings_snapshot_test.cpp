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
  EXPECT_FALSE(parseColor("#XYZ").has_value());
  EXPECT_FALSE(parseColor("").has_value());
  EXPECT_FALSE(parseColor(" FF0000").has_value());
  EXPECT_FALSE(parseColor("\xff\xfe").has_value());  // invalid UTF-8
}

TEST(SettingsSnapshot, AnEmptyFileGivesTheDefaults) {
  auto empty = Value::dict();
  bool enabled = true;
  SettingsSnapshot s = snapshotFrom(empty.ref(), &enabled);
  EXPECT_FALSE(enabled);
  EXPECT_EQ(s.methodspecifier, 0);
  EXPECT_FALSE(s.ignoretime);
  EXPECT_EQ(s.selectedSound, 1000u);
  ASSERT_TRUE(s.chosenColor.has_value());
  EXPECT_NEAR(s.chosenColor->red, 226 / 255.0, 1e-6);
  EXPECT_EQ(s.coordinatesForX, 95.0);
  EXPECT_EQ(s.coordinatesForY, 95.0);
}

TEST(SettingsSnapshot, ValuesFollowTheBooleanIntegerAndTextRules) {
  auto d = Value::dict();
  d.set("isTweakEnabled", Value::integer(2));  // a non-zero number is true
  d.set("methodspecifier", Value::string("1"));  // decimal text
  d.set("ignoretime", Value::boolean(true));
  d.set("sound", Value::integer(1005));  // a number through its text
  d.set("color", Value::string(""));     // empty counts as absent
  d.set("xcoordinates", Value::string("10"));
  d.set("ycoordinates", Value::real(20.7));
  bool enabled = false;
  SettingsSnapshot s = snapshotFrom(d.ref(), &enabled);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(s.methodspecifier, 1);
  EXPECT_TRUE(s.ignoretime);
  EXPECT_EQ(s.selectedSound, 1005u);
  EXPECT_NEAR(s.chosenColor->green, 35 / 255.0, 1e-6);
  EXPECT_EQ(s.coordinatesForX, 10.0);
  EXPECT_EQ(s.coordinatesForY, 20.0);

  auto odd = Value::dict();
  odd.set("sound", Value::string(""));
  odd.set("methodspecifier", Value::integer(7));
  odd.set("isTweakEnabled", Value::string("YES"));  // text is not a boolean
  odd.set("xcoordinates", Value::dict());            // wrong type reads as absent
  s = snapshotFrom(odd.ref(), &enabled);
  EXPECT_FALSE(enabled);
  EXPECT_EQ(s.selectedSound, 1000u);
  EXPECT_EQ(s.methodspecifier, 7);
  EXPECT_EQ(s.coordinatesForX, 95.0);
}

using LoadTime = testing::HookDevice;

TEST_F(LoadTime, WithoutASettingsFileNothingIsInstalledButTheListIsBuilt) {
  size_t before = platform::runtime::installations().size();
  boot();
  EXPECT_EQ(platform::runtime::installations().size(), before);
  EXPECT_EQ(process().snapshot.selectedSound, 1000u);
  EXPECT_EQ(process().messagingApps.size(), 10u);
  EXPECT_TRUE(isMessagingApp("org.whispersystems.signal"));
  EXPECT_FALSE(isMessagingApp("org.whispersystems.signalCall"));
}

TEST_F(LoadTime, ACorruptFileGivesTheDefaultsAndNoInstallation) {
  writeFile(std::string(names::kSettingsPath), "<?xml version=\"1.0\"?><plist><dict><key>isTweakEnabled</key><tr");
  size_t before = platform::runtime::installations().size();
  boot();
  EXPECT_EQ(platform::runtime::installations().size(), before);
  EXPECT_EQ(process().snapshot.coordinatesForY, 95.0);
}

TEST_F(LoadTime, TheSwitchOnMakesTheTenInstallationsInOrderFromABinaryFile) {
  auto d = Value::dict();
  d.set("isTweakEnabled", Value::boolean(true));
  d.set("methodspecifier", Value::integer(1));
  writeFile(std::string(names::kSettingsPath), platform::plist::toBinary(d.ref()));
  size_t before = platform::runtime::installations().size();
  boot();
  auto all = platform::runtime::installations();
  const std::vector<std::tuple<std::string, std::string, platform::runtime::InstallKind>> expected = {
      {"UIStatusBarWindow", "label", platform::runtime::InstallKind::Property},
      {"UIStatusBarWindow", "label", platform::runtime::InstallKind::Add},
      {"UIStatusBarWindow", "setLabel:", platform::runtime::InstallKind::Add},
      {"UIStatusBarWindow", "loadNotificationIcon", platform::runtime::InstallKind::Add},
      {"UIStatusBarWindow", "setStatusBar:", platform::runtime::InstallKind::Replace},
      {"SBTelephonyManager", "callEventHandler:", platform::runtime::InstallKind::Replace},
      {"TUCall", "updateWithCall:", platform::runtime::InstallKind::Replace},
      {"BBServer", "publishBulletin:destinations:", platform::runtime::InstallKind::Replace},
      {"SBHomeScreenViewController", "viewDidAppear:", platform::runtime::InstallKind::Replace},
      {"SBHomeScreenViewController", "launchApp:", platform::runtime::InstallKind::Add},
  };
  // Additions made by an earlier boot in this test process are present
  // already and not recorded again (the end-to-end test sees all ten in a
  // fresh process): what this boot recorded follows the table's order and
  // holds every replacement.
  size_t next = 0, replaced = 0;
  for (size_t i = before; i < all.size(); ++i) {
    while (next < expected.size() &&
           std::tie(std::get<0>(expected[next]), std::get<1>(expected[next]), std::get<2>(expected[next])) !=
               std::tie(all[i].className, all[i].selector, all[i].kind))
      ++next;
    ASSERT_LT(next, expected.size()) << all[i].className << " " << all[i].selector << " out of order";
    if (all[i].kind == platform::runtime::InstallKind::Replace) ++replaced;
    ++next;
  }
  EXPECT_EQ(replaced, 5u);
  platform::runtime::Class* window = platform::runtime::getClass("UIStatusBarWindow");
  for (const char* sel : {"label", "setLabel:", "loadNotificationIcon"}) EXPECT_TRUE(window->respondsTo(sel)) << sel;
  EXPECT_TRUE(platform::runtime::getClass("SBHomeScreenViewController")->respondsTo("launchApp:"));
  ASSERT_FALSE(window->properties().empty());
  EXPECT_EQ(window->properties()[0].first, "label");
  EXPECT_EQ(process().snapshot.methodspecifier, 1);
}

}  // namespace
}  // namespace calmora
