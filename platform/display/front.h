// What the device's other processes ask of its display.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace platform::display {

// Brings the window of process `pid` to front. Nothing on success, else
// why not (no display, or the process has no window).
std::optional<std::string> bringToFront(const std::filesystem::path& deviceRoot, pid_t pid);

}  // namespace platform::display
