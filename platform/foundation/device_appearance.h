// The device's appearance, light or dark, and its sound switches, as a person
// switches them: written into the device description and announced on the
// device's bus, so that every running process takes them at once.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"

namespace platform {

inline constexpr const char* kAppearanceSignal = "sim.device/appearance";
inline constexpr const char* kSoundSignal = "sim.device/sound";

// `style` is "light" or "dark". Fails with what went wrong; an unreadable
// description is left as it is.
Result<void, std::string> setDeviceAppearance(const std::filesystem::path& root, std::string_view style);

// "Sound" (heard through the desktop's audio) or "Silent" (the side switch).
enum class SoundSwitch { Sound, Silent };
Result<void, std::string> setDeviceSoundSwitch(const std::filesystem::path& root, SoundSwitch which, bool on);

}  // namespace platform
