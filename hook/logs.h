// The two blocked-event logs: records appended under dense keys, marked
// read, counted; and the handlers of the app's requests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/foundation/notification_center.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/host_values.h"

namespace calmora::logs {

enum class Log { Calls, Notifications };

struct CallRecord {
  std::string date;  // currentDateText()
  host::Text data, appBID, iconData, from, appName;
};

struct NotificationRecord {
  std::string date;
  host::Text data, appBID, iconData, appName, msg, from;
};

// The log's file and the lock file beside it that every writer of the log
// holds (flock, exclusive) around its whole read-modify-write.
std::filesystem::path logPath(Log log);
std::filesystem::path lockPath(Log log);

// The local time as "HH:mm:ss dd-MM-yyyy".
std::string currentDateText();

int64_t blockedCallsCount();
// Puts the record under the key and writes the calls log.
void saveBlockedCall(std::string_view key, const CallRecord& record);

// Appends under the key equal to the log's record count, counted and
// written under the log's lock, so concurrent writers never share a key.
// Answers the key used. Posts nothing: the interceptions post their own
// signals after the append.
std::string appendCall(const CallRecord& record);
std::string appendNotification(const NotificationRecord& record);

int64_t unreadCount(Log log);
bool isAllRead();

// Handlers of the app's requests (signals of the same names).
void markAllReadN();
void markAllReadC();
void markReadN(const platform::Notification& request);
void markReadC(const platform::Notification& request);
void unreadCall();
void unreadNotif();

}  // namespace calmora::logs
