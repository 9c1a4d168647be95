#include "platform/foundation/device_description.h"

#include <gtest/gtest.h>

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
