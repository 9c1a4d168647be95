#include "platform/foundation/sound.h"

#include <mutex>
#include <optional>

namespace platform::sound {
namespace {
struct State {
  std::mutex mutex;
  std::function<void(SystemSoundID)> listener;
  std::shared_ptr<Output> output;
  bool ringing = false;
};
State& state() {
  static State s;
  return s;
}
}  // namespace

void disposeSystemSound(SystemSoundID) {}

void playSystemSound(SystemSoundID id) {
  std::function<void(SystemSoundID)> l;
  std::shared_ptr<Output> out;
  {
    std::lock_guard lock(state().mutex);
    l = state().listener;
    out = state().output;
  }
  if (l) l(id);
  if (out) out->play(id);
}

void startRingtone() {
  std::function<void(SystemSoundID)> l;
  std::shared_ptr<Output> out;
  {
    std::lock_guard lock(state().mutex);
    if (state().ringing) return;
    state().ringing = true;
    l = state().listener;
    out = state().output;
  }
  if (l) l(kRingtone);
  if (out) out->startLoop(kRingtone);
}

void stopRingtone() {
  std::shared_ptr<Output> out;
  {
    std::lock_guard lock(state().mutex);
    if (!state().ringing) return;
    state().ringing = false;
    out = state().output;
  }
  if (out) out->stopLoop();
}

bool ringtonePlaying() {
  std::lock_guard lock(state().mutex);
  return state().ringing;
}

void setPlayListener(std::function<void(SystemSoundID)> l) {
  std::lock_guard lock(state().mutex);
  state().listener = std::move(l);
}

void setOutput(std::shared_ptr<Output> output) {
  std::shared_ptr<Output> old;
  bool ringing = false;
  {
    std::lock_guard lock(state().mutex);
    old = std::exchange(state().output, output);
    ringing = state().ringing;
  }
  if (old && ringing) old->stopLoop();
  if (output && ringing) output->startLoop(kRingtone);
}

}  // namespace platform::sound
