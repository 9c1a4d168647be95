// The hook tests' fixture: a whole home screen in the test process (see
// tests/support/device.h), with the settings file written as XML.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/names.h"
#include "platform/foundation/plist.h"
#include "tests/support/device.h"

namespace calmora::testing {

class HookDevice : public ::testing::Test {
 protected:
  // Writes the settings file, then starts the home screen and loads the
  // library, which reads it.
  void boot(const platform::plist::Value& settings) {
    writeSettings(settings);
    boot();
  }
  void boot() { device_.boot(); }  // with whatever settings file there is
  void writeSettings(const platform::plist::Value& settings) {
    writeFile(names::kSettingsPath, platform::plist::toXml(settings.ref()));
  }
  void writeFile(std::string_view phonePath, std::string_view bytes) {
    ASSERT_TRUE(device_.writeFile(phonePath, bytes)) << phonePath;
  }
  std::vector<std::string> takePosted() { return device_.takePosted(); }
  std::vector<platform::Notification> takeNotifications() { return device_.takeNotifications(); }
  platform::InProcessCenter& center() { return device_.center(); }
  platform::springboard::SpringBoard& board() { return device_.board(); }
  static int64_t localMs(int year, int month, int day, int hour, int minute, int second = 0) {
    return testsupport::Device::localMs(year, month, day, hour, minute, second);
  }
  static void setNow(int64_t ms) { testsupport::Device::setNow(ms); }

  testsupport::Device device_;
  const std::filesystem::path root = device_.root();
};

}  // namespace calmora::testing
