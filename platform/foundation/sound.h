// System sounds. Playing one records its identifier with whoever listens
// (the home-screen process's record); there is no audio output here. The
// other processes of a device (apps, the Settings app) listen by posting
// kPlayedSignal on the device's bus, which the home screen records.
#pragma once

#include <cstdint>
#include <functional>

namespace platform::sound {

using SystemSoundID = uint32_t;

// userInfo: kSoundKey the identifier in decimal, kProcessKey the bundle
// identifier of the process that played it.
inline constexpr const char* kPlayedSignal = "sim.device/soundPlayed";
inline constexpr const char* kSoundKey = "sound";
inline constexpr const char* kProcessKey = "process";

void disposeSystemSound(SystemSoundID id);
void playSystemSound(SystemSoundID id);

// The process's listener for played sounds; null to stop listening.
void setPlayListener(std::function<void(SystemSoundID)> listener);

}  // namespace platform::sound
