// Device paths: every absolute phone path ("/var/mobile/...") lives inside
// the device root folder of the simulated device this process belongs to.
#pragma once

#include <filesystem>
#include <string_view>

namespace platform {

// Set once at process start (the home-screen process from its argument, a
// test from its fixture). Until then the root is the current directory.
void setDeviceRoot(const std::filesystem::path& root);
const std::filesystem::path& deviceRoot();

// Device path P lives at ROOT/P, for the root set above or for the device
// folder `root` (tools that drive a device from outside).
std::filesystem::path devicePath(std::string_view phonePath);
std::filesystem::path devicePath(const std::filesystem::path& root, std::string_view phonePath);

}  // namespace platform
