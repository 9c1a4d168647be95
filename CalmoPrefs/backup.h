// The settings and both logs taken along as one file: an export writes a
// plist of them to the device's Documents folder; an import checks every
// part of such a file against the limits and the readers of the file it
// becomes, writes all three replacements beside their files, and only then
// puts them in place, so that an import that fails or is killed leaves the
// files as they were.
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

#include "common/log_whole.h"
#include "platform/foundation/error.h"
#include "platform/foundation/file_io.h"

namespace calmoprefs::backup {

inline constexpr int64_t kFormatVersion = 1;
inline constexpr std::string_view kVersionKey = "formatVersion";
inline constexpr std::string_view kSettingsKey = "settings";
inline constexpr std::string_view kCallsKey = "blockedCalls";
inline constexpr std::string_view kNotificationsKey = "blockedNotifications";
// A backup holds two logs, each of at most a log's limit; a larger one is
// refused before it is read, so that an import cannot exhaust the memory.
inline constexpr uint64_t kMaxBackupBytes = platform::kMaxLogBytes;

enum class Refusal { Unreadable, TooLarge, NotAPlist, OtherVersion, BadSettings, BadLog, WriteFailed };

// Why an export, a reading or a restore did not happen; `why` is a
// sentence for the person who asked.
struct Failure {
  Refusal refusal = Refusal::Unreadable;
  std::string why;
};
template <class T = void>
using Outcome = platform::Result<T, Failure>;

// A backup read and checked whole: each file as it will be written.
struct Backup {
  std::string settings;
  calmora::logs::WholeLog calls, notifications;
};

// var/mobile/Documents of this device, and the backups in it, newest first.
std::filesystem::path folder();
std::vector<std::filesystem::path> list();

// Writes Calmora-Backup-YYYYMMDD-HHMMSS.plist (device clock) to the folder;
// answers the file written.
Outcome<std::filesystem::path> exportBackup();

// Reads and checks a backup whole.
Outcome<Backup> readBackup(const std::filesystem::path& file);

// Replaces the settings file and both logs with a backup readBackup took,
// holding the three files' writers' locks. The current files are first
// kept as NAME.before-import-YYYYMMDD-HHMMSS beside each (those that
// exist); answers those names. On a failure every file is as it was.
Outcome<std::vector<std::filesystem::path>> restore(const Backup& backup);

}  // namespace calmoprefs::backup
