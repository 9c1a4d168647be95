// How a process of a device shows its windows on the device's display: as
// a Wayland client of DEVICE/run/display.wayland, with run/ as its runtime
// folder.
#pragma once

#include <filesystem>

namespace platform::display {

// The display's socket in DEVICE/run.
inline constexpr const char* kWaylandSocketName = "display.wayland";

// True when the device's display serves: its socket is there, this user's.
bool served(const std::filesystem::path& deviceRoot);

// Sets this process's environment so that Qt, once made, shows its windows
// on the device's display, falling back to no display at all should the
// display not answer.
void becomeClient(const std::filesystem::path& deviceRoot);

// Sets this process's environment so that Qt draws on no display, with
// run/ as its runtime folder where the session names none and run/ is
// this user's alone (as boot makes it).
void becomeHeadless(const std::filesystem::path& deviceRoot);

}  // namespace platform::display
