// What the phone's apps read of the home screen's records: the call
// history and the delivered notifications, opened read-only (the home screen
// is their one writer). A missing or damaged database reads as empty.
#pragma once

#include <QFileSystemWatcher>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <functional>
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

// Newest first, of the newest `limit` calls; `bundle` empty: every app's calls.
std::vector<CallEntry> readCalls(std::string_view bundle = {}, int64_t limit = 10000);
// The notifications delivered to `bundle`, newest first.
std::vector<MessageEntry> readMessages(std::string_view bundle);

// Asks the home screen to mark `bundle`'s notifications titled `title` (one
// sender's) opened; it writes the records and the app's badge.
void requestMarkOpened(std::string_view bundle, const QString& title);

// Calls `changed` shortly after a database changes (the home screen wrote a
// call or a notification), so that an app brought back to front, or in
// front, shows what came in meanwhile. The database may not exist yet.
class RecordsWatch {
 public:
  RecordsWatch(std::filesystem::path database, std::function<void()> changed);

 private:
  void rewatch();
  std::filesystem::path database_;
  QFileSystemWatcher watcher_;
  QTimer settle_;
};

std::filesystem::path callHistoryFile();
std::filesystem::path deliveredFile();

// "14:02" today, "Yesterday", else the date.
QString shortTime(int64_t dateMs);

}  // namespace platform::phoneapps
