// What the home screen keeps of calls and delivered notifications, as the
// phone's apps read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::records {

// Phone paths, resolved against the device root.
inline constexpr const char* kCallHistoryPath = "/var/mobile/Library/CallHistoryDB/CallHistory.storedata";
inline constexpr const char* kDeliveredPath = "/var/mobile/Library/UserNotifications/Delivered.sqlite";

inline constexpr int64_t kMaxCalls = 10000;
inline constexpr int64_t kMaxNotificationsPerBundle = 1000;

enum class Outcome { Answered, Declined, Missed };
// "answered", "declined", "missed" as stored; an unknown text reads as missed.
const char* outcomeName(Outcome outcome);
Outcome outcomeFromName(std::string_view name);

struct CallRecord {
  int64_t id = 0;      // given by add()
  int64_t dateMs = 0;  // unix ms when it came in
  std::string name;    // the caller as shown: the contact's name, else the number or name it came with
  std::string number;
  std::string contact;  // contact identifier, or empty
  std::string bundle;   // the app it came through
  std::string appName;
  Outcome outcome = Outcome::Missed;
  int64_t durationMs = 0;
  bool incoming = true;
};

struct NotificationRecord {
  int64_t id = 0;
  int64_t dateMs = 0;
  std::string bundle;
  std::string title;
  std::string subtitle;
  std::string message;
  bool opened = false;
  bool cleared = false;  // removed from the list by the person; the app still has it
};

}  // namespace platform::records
