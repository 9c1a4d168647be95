// The simulated device's own description, kept at ROOT/Device.plist:
// system version, main screen, biometry, contacts access, appearance.
#pragma once

#include <filesystem>
#include <string>

#include "platform/foundation/clock.h"
#include "platform/foundation/error.h"
#include "platform/foundation/plist.h"

namespace platform {

struct DeviceDescription {
  std::string systemVersion = "13.7";
  double screenWidth = 375.0;   // points
  double screenHeight = 667.0;  // points
  double screenScale = 2.0;
  std::string biometry = "none";  // "none", "touch" or "face"
  bool biometryEnrolled = false;
  bool passcodeSet = false;
  bool contactsAccess = true;  // false: the contact store refuses access
  std::string appearance = "light";  // the interface style: "light" or "dark"
  // The device's region and language ("en_US", "sv_SE"): how its processes
  // sort and compare text, whatever the host's LANG.
  std::string locale = "en_US";
  // The device's clock (clock.h), set by `simctl clock`.
  clock::DeviceClock clock;
  // "Sound": system sounds are heard through the desktop's audio (a device
  // started headless has none); "Silent": the side switch, which mutes them.
  bool sound = false;
  bool silent = false;

  // Whether the system version is at least major.minor.patch.
  bool isSystemAtLeast(int major, int minor, int patch) const;
};

inline constexpr const char* kDeviceDescriptionFile = "Device.plist";

// The screen values a device may have; others keep the defaults. The
// largest tablets measure 1366 points and phones have a scale of 3.
struct ScreenRange {
  double min, max;
};
inline constexpr ScreenRange kScreenPointRange{100.0, 4096.0};
inline constexpr ScreenRange kScreenScaleRange{1.0, 4.0};

// Reads ROOT/Device.plist; absent keys keep their defaults, and screen values
// outside their range too, with a diagnostic line.
DeviceDescription readDeviceDescription(const std::filesystem::path& root);
Result<void> writeDeviceDescription(const std::filesystem::path& root, const DeviceDescription& d);

// The clock a description sets: "ClockOffset" (seconds, a number),
// "ClockFixed" (ISO 8601 text; one that is no time is ignored) and
// "ClockAdvance" (seconds); absent keys leave the host's clock.
clock::DeviceClock deviceClockOf(plist::Ref description);
// Writes the clock's keys into a description, removing those it leaves unset.
void setDeviceClock(plist::Value& description, const clock::DeviceClock& clock);

// Makes the device's locale this process's default locale; every process of
// a device calls it as it starts.
void adoptDeviceLocale(const DeviceDescription& d);

}  // namespace platform
