// System sounds. Playing one records its identifier with whoever listens
// (the home-screen process's record) and, where the device runs with sound
// and is not silent, is heard through the output the home screen installed.
// The other processes of a device (apps, the Settings app) report by posting
// kPlayedSignal on the device's bus, which the home screen records and plays.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform::sound {

using SystemSoundID = uint32_t;

// userInfo: kSoundKey the identifier in decimal, kProcessKey the bundle
// identifier of the process that played it.
inline constexpr const char* kPlayedSignal = "sim.device/soundPlayed";
inline constexpr const char* kSoundKey = "sound";
inline constexpr const char* kProcessKey = "process";

// What a ringing call plays until it is answered or ends, and the short tone
// of a banner (played with playSystemSound).
inline constexpr SystemSoundID kRingtone = 1151;
inline constexpr SystemSoundID kBannerTone = 1312;

void disposeSystemSound(SystemSoundID id);
void playSystemSound(SystemSoundID id);

// The ringtone: recorded once as played, heard looping until stopRingtone().
// Starting it while it rings changes nothing; stopping it when it does not
// ring is harmless.
void startRingtone();
void stopRingtone();
bool ringtonePlaying();

// The process's listener for played sounds; null to stop listening.
void setPlayListener(std::function<void(SystemSoundID)> listener);

// Where sounds are heard. Calls may come from any thread; an output hands
// them to its own.
class Output {
 public:
  virtual ~Output() = default;
  virtual void play(SystemSoundID id) = 0;
  virtual void startLoop(SystemSoundID id) = 0;
  virtual void stopLoop() = 0;
};

// Null: nothing is heard (headless, silent, no audio device). A ringtone that
// plays moves over to the new output.
void setOutput(std::shared_ptr<Output> output);

}  // namespace platform::sound
