// The fuzzers' home screen: the tests' device (tests/support/device.h),
// built on first use and kept, since building one costs far more than an
// input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/device.h"

namespace fuzzing {

// The address book every home screen here reads: Jane Roe (blocked in the
// settings below), John Roe and Mallory Evil (with a social profile), in
// that order.
inline constexpr const char* kJaneKey = "A1B2C3D4-0001";
inline constexpr const char* kMalloryKey = "A1B2C3D4-0003";

class HomeScreen {
 public:
  // The home screen, booted with the library switched on (blocklist mode,
  // schedules ignored) on first use, and again every thousand inputs so
  // that its record of events (copied whole by every look at it) stays
  // small.
  static HomeScreen& get();

  platform::springboard::SpringBoard& board() { return device_.board(); }
  platform::InProcessCenter& center() { return device_.center(); }
  void writeFile(std::string_view phonePath, std::string_view bytes) { device_.writeFile(phonePath, bytes); }
  void removeFile(std::string_view phonePath);
  // Delivers queued signals; answers everything posted since the last call.
  std::vector<platform::Notification> takePosted() { return device_.takeNotifications(); }
  // Moves the pinned clock on, so that each blocked call is more than a
  // second after the one before.
  void advanceClock(int64_t ms);

 private:
  HomeScreen();
  void boot();

  testsupport::Device device_;
  int64_t nowMs_ = 0;
};

// The settings the home screen boots with, as XML.
std::string defaultSettingsXml();

}  // namespace fuzzing
