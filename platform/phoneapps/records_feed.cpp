#include "platform/phoneapps/records_feed.h"

#include <QDateTime>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/qt_text.h"
#include "platform/phoneapps/requests.h"
#include "platform/records/call_history.h"
#include "platform/records/delivered_notifications.h"

namespace platform::phoneapps {

std::vector<CallEntry> readCalls(std::string_view bundle, int64_t limit) {
  std::vector<CallEntry> out;
  auto history = records::CallHistory::open(records::Mode::ReadOnly);
  if (!history) {
    // No call yet: the home screen makes the database with the first one.
    if (history.error().code != ErrorCode::NotFound) log("recents: ", history.error().describe());
    return out;
  }
  const auto calls = history->recent(limit);
  out.reserve(calls.size());
  for (const auto& c : calls) {
    if (!bundle.empty() && c.bundle != bundle) continue;
    out.push_back({c.dateMs, toQString(c.name), toQString(c.number), c.bundle, toQString(c.appName),
                   records::outcomeName(c.outcome)});
  }
  return out;
}

std::vector<MessageEntry> readMessages(std::string_view bundle) {
  std::vector<MessageEntry> out;
  auto delivered = records::DeliveredNotifications::open(records::Mode::ReadOnly);
  if (!delivered) {
    if (delivered.error().code != ErrorCode::NotFound) log("messages: ", delivered.error().describe());
    return out;
  }
  const auto list = delivered->list(std::string(bundle), records::Cleared::Include, records::kMaxNotificationsPerBundle);
  out.reserve(list.size());
  for (const auto& n : list)
    out.push_back({n.id, n.dateMs, toQString(n.title), toQString(n.subtitle), toQString(n.message), n.opened});
  return out;
}

void requestMarkOpened(std::string_view bundle, const QString& title) {
  defaultCenter().post(kMarkOpenedSignal,
                       {{std::string(kBundleKey), std::string(bundle)}, {std::string(kTitleKey), title.toStdString()}});
}

RecordsWatch::RecordsWatch(std::filesystem::path database, std::function<void()> changed)
    : database_(std::move(database)) {
  settle_.setSingleShot(true);
  settle_.setInterval(100);  // a write touches the files several times
  QObject::connect(&settle_, &QTimer::timeout, [this, onChange = std::move(changed)] {
    rewatch();
    onChange();
  });
  QObject::connect(&watcher_, &QFileSystemWatcher::fileChanged, [this] { settle_.start(); });
  QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, [this] { settle_.start(); });
  rewatch();
}

// The database's folder and its files as they are now: the folder appears
// with the first record, the files are made and replaced.
void RecordsWatch::rewatch() {
  if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  QStringList paths;
  std::error_code ec;
  for (auto path : {database_.parent_path().parent_path(), database_.parent_path(), database_,
                    std::filesystem::path(database_.string() + "-wal")})
    if (std::filesystem::exists(path, ec)) paths.append(QString::fromStdString(path.string()));
  if (!paths.isEmpty()) watcher_.addPaths(paths);
}

std::filesystem::path callHistoryFile() { return devicePath(records::kCallHistoryPath); }
std::filesystem::path deliveredFile() { return devicePath(records::kDeliveredPath); }

QString shortTime(int64_t dateMs) {
  const QDateTime when = QDateTime::fromMSecsSinceEpoch(dateMs);
  const QDate today = QDate::currentDate();
  if (when.date() == today) return when.toString("HH:mm");
  if (when.date() == today.addDays(-1)) return "Yesterday";
  if (when.date() > today.addDays(-7)) return when.toString("dddd");
  return when.toString("d MMM yyyy");
}

}  // namespace platform::phoneapps
