// A whole home screen inside the test process, with the library's logic
// loaded as the loader would, an in-process center, a pinned clock and a
// device folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "platform/foundation/plist.h"
#include "platform/springboard/springboard.h"

namespace calmora::testing {

class HookDevice : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the settings file (XML), then starts the home screen and loads
  // the library, which reads it.
  void boot(const platform::plist::Value& settings);
  void boot();  // no settings file
  void writeSettings(const platform::plist::Value& settings);
  void writeFile(const std::string& phonePath, const std::string& bytes);

  // Delivers queued signals and answers the names delivered since the last
  // call, in order.
  std::vector<std::string> takePosted();
  // The same, with their user information.
  std::vector<platform::Notification> takeNotifications();
  platform::InProcessCenter& center() { return *center_; }
  platform::springboard::SpringBoard& board() { return *board_; }
  std::filesystem::path root;

  // 2026-12-07 (a Monday) 10:30:00 in Europe/Berlin unless a test sets
  // another time.
  static int64_t localMs(int year, int month, int day, int hour, int minute, int second = 0);
  void setNow(int64_t ms);

 private:
  std::shared_ptr<platform::InProcessCenter> center_;
  std::unique_ptr<platform::springboard::SpringBoard> board_;
  std::vector<platform::Notification> posted_;
};


}  // namespace calmora::testing
