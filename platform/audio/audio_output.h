// System sounds heard through the desktop's audio (Qt Multimedia, which
// plays through the session's PulseAudio server): each sound a short tone of
// its own pitch, the ringtone a ring pattern that loops.
#pragma once

#include <memory>

#include "platform/foundation/sound.h"

namespace platform::audio {

// Made on the thread whose event loop plays the sounds; null, with one
// diagnostic line, where the desktop has no audio device.
std::shared_ptr<sound::Output> makeOutput();

}  // namespace platform::audio
