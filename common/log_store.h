// The two blocked-event logs: records appended under dense keys, marked
// read, counted, emptied. Every change is made under the log's lock; a
// reader needs none, as every writer replaces the file atomically.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "common/log_trim.h"
#include "platform/foundation/error.h"
#include "platform/foundation/file_io.h"
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

// What is known of one version of each log: its unread count. A request
// on a version already counted is answered after one stat, without reading
// the file, so that a flood of requests on a large log costs a stat each.
// A version is the file's device, inode, size and modification time: every
// writer replaces the file whole, so a change gives another version. The
// operations below keep it up to date when given one; thread-safe.
class UnreadMemo {
 public:
  using Version = platform::FileVersion;
  // The unread count of this version of the log, when known.
  std::optional<int64_t> unread(Log log, const std::optional<Version>& version) const;
  // Learns the count of a version; without a version, forgets the log.
  void learn(Log log, const std::optional<Version>& version, int64_t unread);

 private:
  struct Known {
    Version version;
    int64_t unread = 0;
  };
  mutable std::mutex mutex_;
  std::array<std::optional<Known>, 2> known_;
};

int64_t blockedCallsCount();
int64_t unreadCount(Log log, UnreadMemo* memo = nullptr);
bool isAllRead(UnreadMemo* memo = nullptr);

// Puts the record under the key and writes the calls log.
platform::Result<void> saveBlockedCall(std::string_view key, const CallRecord& record);

// Appends under the key equal to the log's record count, counted and
// written under the log's lock, so concurrent writers never share a key.
// A log that keeps `keep` records (kKeepAll: every one) and holds that
// many loses its oldest in the same write, the rest renumbered from "0".
// Answers the key used, or why the record could not be written.
platform::Result<std::string> appendCall(const CallRecord& record, UnreadMemo* memo = nullptr,
                                         size_t keep = kKeepAll);
platform::Result<std::string> appendNotification(const NotificationRecord& record, UnreadMemo* memo = nullptr,
                                                 size_t keep = kKeepAll);

// Marks every unread record of the log read, in one write; or the record
// under `key` (decimal text, as the app sends it). Neither takes the lock
// nor reads a version that the memo knows to hold no unread record.
platform::Result<void> markAllRead(Log log, UnreadMemo* memo = nullptr);
platform::Result<void> markRead(Log log, std::string_view key, UnreadMemo* memo = nullptr);

// Empties the log under its lock, as the log viewer's delete-all does, and
// answers what it held. A log that does not parse is kept aside instead
// (plist::keepUnreadableAside); one whose bytes cannot be read is left as
// it is. Never without the lock: an append it raced would be lost.
platform::Result<platform::plist::ReadResult> empty(const std::filesystem::path& logFile);

// What a list showed of a record: its fields as texts, absent ones empty.
// The read mark is left out, as it may change under the list.
struct RecordContent {
  std::string date, data, from, appBID, appName, msg, iconData;
  bool operator==(const RecordContent&) const = default;
};

// Removes one record under the log's lock and moves the records after it
// down one key, in one atomic write, so that the keys stay dense. The record
// removed is the one under `key` when it holds `shown`; else, as the log may
// have changed since it was read, the one nearest to `key` that holds it;
// else none. Answers the key it was under, or nothing when none matched.
platform::Result<std::optional<int64_t>> removeRecord(const std::filesystem::path& logFile, int64_t key,
                                                      const RecordContent& shown);

}  // namespace calmora::logs
