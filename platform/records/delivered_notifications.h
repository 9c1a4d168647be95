// Delivered notifications: the home screen adds each bulletin it shows and
// keeps what the person did with it (opened, cleared from the list); apps
// read theirs.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/records/database.h"
#include "platform/records/records.h"

namespace platform::records {

// Which records a listing holds: those the notification list shows, or all
// an app still has.
enum class Cleared { Exclude, Include };

struct BundleCount {
  std::string bundle;
  int64_t count = 0;
};

class DeliveredNotifications {
 public:
  static Result<DeliveredNotifications> open(Mode mode);
  static Result<DeliveredNotifications> open(const std::filesystem::path& file, Mode mode);

  // The new record's id, 0 when it could not be written. The bundle's oldest
  // past kMaxNotificationsPerBundle go.
  int64_t add(const NotificationRecord& notification);
  // Newest first, of one bundle or of every one (empty bundle).
  std::vector<NotificationRecord> list(const std::string& bundle, Cleared cleared, int64_t limit,
                                       int64_t offset = 0) const;
  int64_t count(const std::string& bundle, Cleared cleared) const;
  // The bundles with notifications and how many, the one with the newest first.
  std::vector<BundleCount> bundles(Cleared cleared) const;
  // Not yet opened, cleared from the list or not: the icon's badge; of
  // every bundle with any at once.
  int64_t unopenedCount(const std::string& bundle) const;
  std::vector<BundleCount> unopenedCounts() const;
  // Marks the bundle's notifications opened, or only those titled `title`
  // (one sender's conversation). Answers how many changed.
  int markOpened(const std::string& bundle, const std::optional<std::string>& title = std::nullopt);
  // Removes one from the list, or all of them; they stay for their apps.
  bool clear(int64_t id);
  int clearAll();

 private:
  explicit DeliveredNotifications(std::unique_ptr<Database> db) : db_(std::move(db)) {}
  std::unique_ptr<Database> db_;
};

}  // namespace platform::records
