// The two blocked-event logs: records appended under dense keys, marked
// read, counted, emptied. Every change is made under the log's lock; a
// reader needs none, as every writer replaces the file atomically.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"
#include "platform/foundation/plist.h"

namespace calmora::logs {

enum class Log { Calls, Notifications };

// An absent field is written as an empty text.
using Field = std::optional<std::string>;

struct CallRecord {
  std::string date;  // "HH:mm:ss dd-MM-yyyy"
  Field data, appBID, iconData, from, appName;
};

struct NotificationRecord {
  std::string date;
  Field data, appBID, iconData, appName, msg, from;
};

// The log's file on this process's device, and the lock file beside a log
// that every writer of it holds (flock, exclusive) around its whole
// read-modify-write.
std::filesystem::path logPath(Log log);
std::filesystem::path lockPath(const std::filesystem::path& logFile);
std::filesystem::path lockPath(Log log);

int64_t blockedCallsCount();
int64_t unreadCount(Log log);
bool isAllRead();

// Puts the record under the key and writes the calls log.
std::optional<platform::Error> saveBlockedCall(std::string_view key, const CallRecord& record);

// Appends under the key equal to the log's record count, counted and
// written under the log's lock, so concurrent writers never share a key.
// Answers the key used, or why the record could not be written.
platform::Result<std::string> appendCall(const CallRecord& record);
platform::Result<std::string> appendNotification(const NotificationRecord& record);

// Marks every unread record of the log read, in one write; or the record
// under `key` (decimal text, as the app sends it).
std::optional<platform::Error> markAllRead(Log log);
std::optional<platform::Error> markRead(Log log, std::string_view key);

// Empties the log under its lock, as the log viewer's delete-all does, and
// answers what it held. A log that does not parse is kept aside instead
// (plist::keepUnreadableAside); one whose bytes cannot be read is left as
// it is. Never without the lock: an append it raced would be lost.
platform::Result<platform::plist::ReadResult> empty(const std::filesystem::path& logFile);

}  // namespace calmora::logs
