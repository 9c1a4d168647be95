// The device's appearance, light or dark, as a person switches it: written
// into the device description and announced on the device's bus, so that
// every running app takes it at once.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"

namespace platform {

inline constexpr const char* kAppearanceSignal = "sim.device/appearance";

// `style` is "light" or "dark". Fails with what went wrong; an unreadable
// description is left as it is.
Result<void, std::string> setDeviceAppearance(const std::filesystem::path& root, std::string_view style);

}  // namespace platform
