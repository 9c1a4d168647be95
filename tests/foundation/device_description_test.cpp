#include "platform/foundation/device_description.h"

#include <gtest/gtest.h>

#include "platform/foundation/device_paths.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace {


// Each plist real is written as the text the file would hold, so that
// infinities and out-of-range numbers can be written at all.
std::string deviceFile(const std::string& width, const std::string& height, const std::string& scale) {
  return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
         "<key>ScreenWidth</key><real>" + width + "</real>"
         "<key>ScreenHeight</key><real>" + height + "</real>"
         "<key>ScreenScale</key><real>" + scale + "</real></dict></plist>";
}

TEST(DeviceDescriptionFile, ScreenValuesOutsideTheirRangeKeepTheDefaultsWithADiagnosticEach) {
  testsupport::TempDir dir;
  const platform::DeviceDescription defaults;
  struct Case {
    std::string width, height, scale;
    double wantWidth, wantHeight, wantScale;
    size_t diagnostics;
  };
  const std::vector<Case> cases = {
      {"1024", "1366", "3", 1024, 1366, 3, 0},
      {"100", "4096", "1", 100, 4096, 1, 0},
      {"100000", "1e300", "50", defaults.screenWidth, defaults.screenHeight, defaults.screenScale, 3},
      {"inf", "-inf", "nan", defaults.screenWidth, defaults.screenHeight, defaults.screenScale, 3},
      {"0", "-667", "0.5", defaults.screenWidth, defaults.screenHeight, defaults.screenScale, 3},
      {"99", "4097", "4.5", defaults.screenWidth, defaults.screenHeight, defaults.screenScale, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width + " x " + c.height + " @" + c.scale);
    testsupport::writeBytes(dir.path() / platform::kDeviceDescriptionFile, deviceFile(c.width, c.height, c.scale));
    testsupport::LogCapture logs;
    const auto d = platform::readDeviceDescription(dir.path());
    EXPECT_EQ(d.screenWidth, c.wantWidth);
    EXPECT_EQ(d.screenHeight, c.wantHeight);
    EXPECT_EQ(d.screenScale, c.wantScale);
    EXPECT_EQ(logs.lines().size(), c.diagnostics);
  }
}

TEST(DeviceDescriptionFile, ALocaleIsKeptWhenItNamesOneAndEnUSOtherwiseWithADiagnostic) {
  testsupport::TempDir dir;
  for (auto [text, want, diagnostics] : {std::tuple{"sv_SE", "sv_SE", 0}, {"de", "de", 0}, {"", "en_US", 1},
                                         {"../x", "en_US", 1}, {"sv_SE.UTF-8 ; rm", "en_US", 1}}) {
    SCOPED_TRACE(text);
    testsupport::writeBytes(dir.path() / platform::kDeviceDescriptionFile,
                            std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Locale</key><string>") +
                                text + "</string></dict></plist>");
    testsupport::LogCapture logs;
    EXPECT_EQ(platform::readDeviceDescription(dir.path()).locale, want);
    EXPECT_EQ(logs.lines().size(), size_t(diagnostics));
  }
}

}  // namespace

namespace {

// A process of a device reads the time its description sets, and follows a
// change of it without starting again.
TEST(DeviceClock, EveryReadingFollowsTheDescription) {
  testsupport::TempDir dir;
  platform::setDeviceRoot(dir.path());
  auto set = [&](const platform::clock::DeviceClock& c) {
    auto d = platform::plist::Value::dict();
    d.set("Locale", platform::plist::Value::string("sv_SE"));
    platform::setDeviceClock(d, c);
    ASSERT_TRUE(platform::plist::writeXmlAtomically(dir.path() / platform::kDeviceDescriptionFile, d.ref()));
    EXPECT_EQ(platform::readDeviceDescription(dir.path()).clock, c);
    EXPECT_EQ(platform::readDeviceDescription(dir.path()).locale, "sv_SE");
  };
  const int64_t host = platform::clock::nowMs();
  const int64_t steady = platform::clock::monotonicMs();
  set({-3'600'000, std::nullopt, 0});
  EXPECT_NEAR(platform::clock::nowMs(), host - 3'600'000, 5'000);
  set({0, 1'800'000'000'250, 0});
  EXPECT_EQ(platform::clock::nowMs(), 1'800'000'000'250);
  EXPECT_EQ(platform::clock::now().toUTC().toString(Qt::ISODateWithMs), "2027-01-15T08:00:00.250Z");
  set({0, std::nullopt, 120'000});
  EXPECT_NEAR(platform::clock::monotonicMs(), steady + 120'000, 5'000);
  EXPECT_NEAR(platform::clock::nowMs(), host, 5'000);
  platform::setDeviceRoot(".");
  EXPECT_NEAR(platform::clock::monotonicMs(), steady, 5'000);
}

TEST(DeviceClock, ValuesThatAreNoTimeLeaveTheHostsClock) {
  auto d = platform::plist::Value::dict();
  d.set("ClockOffset", platform::plist::Value::string("soon"));
  d.set("ClockFixed", platform::plist::Value::string("yesterday"));
  d.set("ClockAdvance", platform::plist::Value::real(1e300));
  EXPECT_EQ(platform::deviceClockOf(d.ref()), platform::clock::DeviceClock{});
}

}  // namespace
