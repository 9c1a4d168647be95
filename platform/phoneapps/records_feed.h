// What the phone's apps read of the home screen's records: the call
// history and the delivered notifications, opened read-only (the home screen
// is their one writer). A missing or damaged database reads as empty.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::phoneapps {

struct CallEntry {
  int64_t dateMs = 0;
  QString name;     // the caller as shown
  QString number;
  std::string bundle;  // the app it came through
  QString appName;
  QString outcome;  // "answered", "declined", "missed"
  bool missed() const { return outcome == "missed"; }
};

struct MessageEntry {
  int64_t id = 0;
  int64_t dateMs = 0;
  QString title, subtitle, message;
  bool opened = false;
};

// Newest first; `bundle` empty: every app's calls.
std::vector<CallEntry> readCalls(std::string_view bundle = {});
// The notifications delivered to `bundle`, newest first.
std::vector<MessageEntry> readMessages(std::string_view bundle);

// Asks the home screen to mark `bundle`'s notifications from `title` (all of
// them when empty) opened; it writes the records and the app's badge.
void requestMarkOpened(std::string_view bundle, const QString& title);

// "14:02" today, "Yesterday", else the date.
QString shortTime(int64_t dateMs);

}  // namespace platform::phoneapps
