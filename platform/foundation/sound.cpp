#include "platform/foundation/sound.h"

#include <mutex>

namespace platform::sound {
namespace {
std::mutex gMutex;
std::function<void(SystemSoundID)>& listener() {
  static std::function<void(SystemSoundID)> l;
  return l;
}
}  // namespace

void disposeSystemSound(SystemSoundID) {}

void playSystemSound(SystemSoundID id) {
  std::function<void(SystemSoundID)> l;
  {
    std::lock_guard lock(gMutex);
    l = listener();
  }
  if (l) l(id);
}

void setPlayListener(std::function<void(SystemSoundID)> l) {
  std::lock_guard lock(gMutex);
  listener() = std::move(l);
}

}  // namespace platform::sound
