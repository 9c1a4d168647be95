// What the device's other processes ask of its display.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "platform/foundation/error.h"

namespace platform::display {

// Brings the window of process `pid` to front; fails with why not (no
// display, or the process has no window).
Result<void, std::string> bringToFront(const std::filesystem::path& deviceRoot, pid_t pid);

}  // namespace platform::display
