// What happens to the device, kept so that it can be inspected from outside:
// events handed on or stopped, calls ended, bulletins published, sounds
// played and apps launched. Counters cover the device's whole life; of the
// entries only the most recent kRecentLimit of each kind are kept, so a
// long-running device does not grow with every event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace platform::springboard {

struct PublishedBulletin {
  std::string section, title, subtitle, message;
};

class DeviceRecord {
 public:
  static constexpr size_t kRecentLimit = 100;

  void callHandedOn();      // the host's own call handling ran
  void bulletinPublished(PublishedBulletin b);
  void callsEnded();
  // A sound played by `process` (a bundle identifier), in the order heard.
  void soundPlayed(uint32_t id, std::string process);
  void appLaunched(std::string bundleIdentifier);

  // How many times the host's call handling ran; a delivery compares the
  // count before and after to tell whether its event was handed on.
  uint64_t callsHandedOn() const;
  uint64_t bulletinsPublished() const;

  struct Snapshot {
    uint64_t callsHandedOn = 0;
    uint64_t callsEnded = 0;
    uint64_t soundsCount = 0, publishedCount = 0, launchedCount = 0;
    // Oldest first, at most kRecentLimit each.
    std::vector<uint32_t> sounds;
    std::vector<std::string> soundProcesses;  // who played sounds[i]
    std::vector<PublishedBulletin> published;
    std::vector<std::string> launched;
  };
  Snapshot snapshot() const;

 private:
  mutable std::mutex mutex_;
  Snapshot data_;
};

}  // namespace platform::springboard
