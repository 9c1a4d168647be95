// System sounds. Playing one records its identifier with whoever listens
// (the home-screen process's record); there is no audio output here.
#pragma once

#include <cstdint>
#include <functional>

namespace platform::sound {

using SystemSoundID = uint32_t;

void disposeSystemSound(SystemSoundID id);
void playSystemSound(SystemSoundID id);

// The process's listener for played sounds; null to stop listening.
void setPlayListener(std::function<void(SystemSoundID)> listener);

}  // namespace platform::sound
