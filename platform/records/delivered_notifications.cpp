#include "platform/records/delivered_notifications.h"

#include "platform/foundation/device_paths.h"

namespace platform::records {

namespace {
constexpr const char* kNotificationsSchema =
    "CREATE TABLE IF NOT EXISTS notifications (id INTEGER PRIMARY KEY, date_ms INTEGER, bundle TEXT, title TEXT,"
    " subtitle TEXT, message TEXT, opened INTEGER DEFAULT 0, cleared INTEGER DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS notifications_by_bundle ON notifications (bundle, id)";

// "?1 = ''" lets one statement list one bundle or all of them; ?2 takes the
// cleared ones in.
constexpr const char* kListSql =
    "SELECT id, date_ms, bundle, title, subtitle, message, opened, cleared FROM notifications"
    " WHERE (?1 = '' OR bundle = ?1) AND (?2 OR cleared = 0) ORDER BY id DESC LIMIT ?3 OFFSET ?4";
constexpr const char* kCountSql =
    "SELECT count(*) FROM notifications WHERE (?1 = '' OR bundle = ?1) AND (?2 OR cleared = 0)";
}  // namespace

Result<DeliveredNotifications> DeliveredNotifications::open(Mode mode) {
  return open(devicePath(kDeliveredPath), mode);
}

Result<DeliveredNotifications> DeliveredNotifications::open(const std::filesystem::path& file, Mode mode) {
  auto db = Database::open(file, mode, kNotificationsSchema);
  if (!db) return db.error();
  return DeliveredNotifications(std::move(*db));
}

int64_t DeliveredNotifications::add(const NotificationRecord& n) {
  Statement insert(db_->handle(),
                   "INSERT INTO notifications (date_ms, bundle, title, subtitle, message, opened, cleared)"
                   " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  insert.bind(1, n.dateMs).bind(2, n.bundle).bind(3, n.title).bind(4, n.subtitle).bind(5, n.message);
  if (!insert.bind(6, int64_t{n.opened}).bind(7, int64_t{n.cleared}).run()) return 0;
  const int64_t id = db_->lastInsertId();
  Statement trim(db_->handle(),
                 "DELETE FROM notifications WHERE bundle = ?1 AND id <= (SELECT id FROM notifications"
                 " WHERE bundle = ?1 ORDER BY id DESC LIMIT 1 OFFSET ?2)");
  (void)trim.bind(1, n.bundle).bind(2, kMaxNotificationsPerBundle).run();
  return id;
}

std::vector<NotificationRecord> DeliveredNotifications::list(const std::string& bundle, Cleared cleared,
                                                             int64_t limit, int64_t offset) const {
  Statement query(db_->handle(), kListSql);
  query.bind(1, bundle).bind(2, int64_t{cleared == Cleared::Include}).bind(3, limit).bind(4, offset);
  std::vector<NotificationRecord> out;
  while (query.step()) {
    out.push_back({query.integer(0), query.integer(1), query.text(2), query.text(3), query.text(4), query.text(5),
                   query.integer(6) != 0, query.integer(7) != 0});
  }
  return out;
}

int64_t DeliveredNotifications::count(const std::string& bundle, Cleared cleared) const {
  Statement query(db_->handle(), kCountSql);
  query.bind(1, bundle).bind(2, int64_t{cleared == Cleared::Include});
  return query.step() ? query.integer(0) : 0;
}

std::vector<BundleCount> DeliveredNotifications::bundles(Cleared cleared) const {
  Statement query(db_->handle(),
                  "SELECT bundle, count(*) FROM notifications WHERE ?1 OR cleared = 0 GROUP BY bundle"
                  " ORDER BY max(id) DESC");
  query.bind(1, int64_t{cleared == Cleared::Include});
  std::vector<BundleCount> out;
  while (query.step()) out.push_back({query.text(0), query.integer(1)});
  return out;
}

std::vector<BundleCount> DeliveredNotifications::unopenedCounts() const {
  Statement query(db_->handle(), "SELECT bundle, count(*) FROM notifications WHERE opened = 0 GROUP BY bundle");
  std::vector<BundleCount> out;
  while (query.step()) out.push_back({query.text(0), query.integer(1)});
  return out;
}

int64_t DeliveredNotifications::unopenedCount(const std::string& bundle) const {
  Statement query(db_->handle(), "SELECT count(*) FROM notifications WHERE bundle = ?1 AND opened = 0");
  query.bind(1, bundle);
  return query.step() ? query.integer(0) : 0;
}

int DeliveredNotifications::markOpened(const std::string& bundle, const std::optional<std::string>& title) {
  Statement update(db_->handle(),
                   "UPDATE notifications SET opened = 1 WHERE bundle = ?1 AND opened = 0 AND (?2 OR title = ?3)");
  update.bind(1, bundle).bind(2, int64_t{!title}).bind(3, title.value_or(""));
  return update.run() ? db_->changes() : 0;
}

bool DeliveredNotifications::clear(int64_t id) {
  Statement update(db_->handle(), "UPDATE notifications SET cleared = 1 WHERE id = ?1 AND cleared = 0");
  return update.bind(1, id).run() && db_->changes() > 0;
}

int DeliveredNotifications::clearAll() {
  Statement update(db_->handle(), "UPDATE notifications SET cleared = 1 WHERE cleared = 0");
  return update.run() ? db_->changes() : 0;
}

}  // namespace platform::records
