// The settings and both logs taken along as one file: an export writes a
// plist of them to the device's Documents folder, an import checks such a
// file whole before it changes anything, keeps the current files aside and
// then replaces each atomically (a log under its writers' lock).
//
// The file is an XML plist, a dictionary of:
//   formatVersion          integer, kFormatVersion
//   settings               dictionary: the settings file
//   blockedCalls           dictionary: the calls log, records under "0" to count - 1
//   blockedNotifications   dictionary: the notifications log, likewise
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/file_io.h"
#include "platform/foundation/plist.h"

namespace calmoprefs::backup {

inline constexpr int64_t kFormatVersion = 1;
inline constexpr std::string_view kVersionKey = "formatVersion";
inline constexpr std::string_view kSettingsKey = "settings";
inline constexpr std::string_view kCallsKey = "blockedCalls";
inline constexpr std::string_view kNotificationsKey = "blockedNotifications";
// A backup holds two logs, each of at most a log's limit; a larger one is
// refused before it is read, so that an import cannot exhaust the memory.
inline constexpr uint64_t kMaxBackupBytes = platform::kMaxLogBytes;

enum class Refusal { None, Unreadable, TooLarge, NotAPlist, OtherVersion, BadSettings, BadLog, WriteFailed };

// What became of an export, a reading or a restore; `why` is a sentence for
// the person who asked.
struct [[nodiscard]] Outcome {
  Refusal refusal = Refusal::None;
  std::string why;
  explicit operator bool() const { return refusal == Refusal::None; }
};

// var/mobile/Documents of this device, and the backups in it, newest first.
std::filesystem::path folder();
std::vector<std::filesystem::path> list();

// Writes Calmora-Backup-YYYYMMDD-HHMMSS.plist (device clock) to the folder.
Outcome exportBackup(std::filesystem::path* written);

// Reads and checks a backup whole; `backup` holds it when it is sound.
Outcome readBackup(const std::filesystem::path& file, platform::plist::Value* backup);

// Replaces the settings file and both logs with a backup readBackup took.
// The current files are first kept as NAME.before-import-YYYYMMDD-HHMMSS
// beside each (those that exist); nothing is replaced unless all of them
// could be kept.
Outcome restore(platform::plist::Ref backup, std::vector<std::filesystem::path>* keptAside = nullptr);

}  // namespace calmoprefs::backup
