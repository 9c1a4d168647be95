// The soak's device: its folder with an address book and settings written as
// the contacts app and the settings pane would, booted and shut down with
// simctl, and the home-screen process's memory read from /proc.
#pragma once

#include <QJsonObject>

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace soak {

// The people of the soak's address book. Mallory is blocked for phone and
// FaceTime calls and WhatsApp messages at all hours; Alice is not listed.
inline constexpr const char* kMalloryUid = "7D1A3C52-96B4-4E0B-8B1F-2C5F0E6A9D41";
inline constexpr const char* kAliceUid = "0B9E5F18-4C27-4D3A-A6E2-7F81C3D2B590";
inline constexpr const char* kMalloryName = "Mallory Evil";
inline constexpr const char* kAliceName = "Alice Friend";
inline constexpr const char* kMessagingApp = "net.whatsapp.WhatsApp";

// Writes the address book (vCard 3.0) and the settings file (XML) into a
// fresh device folder.
bool writeDeviceFiles(const std::filesystem::path& dir);

// Runs `simctl VERB DIR` (simctl beside this program); true on exit 0.
bool simctl(const std::string& verb, const std::filesystem::path& dir);

std::optional<pid_t> springboardPid(const std::filesystem::path& dir);
// One request to the device's home-screen process; nothing when it does not
// answer in time.
std::optional<QJsonObject> askHomeScreen(const std::filesystem::path& dir, const QJsonObject& request,
                                         int timeoutMs = 10000);

struct Memory {
  int64_t rssKb = 0;  // VmRSS
  int64_t hwmKb = 0;  // VmHWM, the peak so far
};
std::optional<Memory> memoryOf(pid_t pid);

int64_t nowMs();

}  // namespace soak
