// A home screen inside the test process: a device folder of its own with the
// default apps, the library's logic loaded as the loader would, an
// in-process center that keeps every signal of the catalogue, and a clock
// pinned to 2026-12-07 (a Monday) 10:30 in Europe/Berlin. The hook tests
// and the fuzzers share it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "platform/springboard/springboard.h"
#include "tests/support/temp_dir.h"

namespace testsupport {

class Device {
 public:
  explicit Device(const std::filesystem::path& base = std::filesystem::temp_directory_path());
  // Undoes every process-wide setting the device made; the folder goes.
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // Starts the home screen, again if it runs, and loads the library, which
  // reads the settings file.
  void boot();
  // Writes a file of the phone atomically; answers false on failure.
  [[nodiscard]] bool writeFile(std::string_view phonePath, std::string_view bytes);
  // Delivers queued signals and answers those delivered since the last call.
  std::vector<platform::Notification> takeNotifications();
  std::vector<std::string> takePosted();

  const std::filesystem::path& root() const { return dir_.path(); }
  platform::InProcessCenter& center() { return *center_; }
  platform::springboard::SpringBoard& board() { return *board_; }

  // Milliseconds since the epoch of a local time in the device's zone.
  static int64_t localMs(int year, int month, int day, int hour, int minute, int second = 0);
  static void setNow(int64_t ms);

 private:
  TempDir dir_;
  std::shared_ptr<platform::InProcessCenter> center_;
  std::unique_ptr<platform::springboard::SpringBoard> board_;
  std::vector<platform::Notification> posted_;
};

}  // namespace testsupport
