// The list of one blocked-event log, newest first, unread rows in red: the
// Calls tab (CMRRootViewController) and the Notifications tab
// (CMRNotifViewController) are this screen with their own names.
#pragma once

#include <QHash>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "viewer/app_lock.h"
#include "viewer/event_kind.h"
#include "viewer/event_log.h"
#include "viewer/record_filter.h"
#include "platform/foundation/notification_center.h"
#include "platform/uikit/label.h"
#include "platform/uikit/table_view_controller.h"

namespace calmora::viewer {

class EventListController : public platform::uikit::UITableViewController {
 public:
  explicit EventListController(const EventKind& kind);
  ~EventListController() override;

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  int numberOfRowsInSection(platform::uikit::UITableView& table, int section) override;
  platform::uikit::UITableViewCellPtr cellForRowAtIndexPath(platform::uikit::UITableView& table,
                                                            platform::uikit::NSIndexPath path) override;
  void didSelectRowAtIndexPath(platform::uikit::UITableView& table, platform::uikit::NSIndexPath path) override;
  bool canEditRowAtIndexPath(platform::uikit::UITableView&, platform::uikit::NSIndexPath) override { return true; }
  void commitEditingStyle(platform::uikit::UITableView& table, platform::uikit::UITableViewCellEditingStyle style,
                          platform::uikit::NSIndexPath path) override;

  void refreshTable();
  void markAllRead();
  void removeAllData();
  // What the search field holds: the rows show the records that match.
  void search(const QString& text);
  const EventKind& kind() const { return kind_; }
  const EventLog& eventLog() const { return log_; }

 private:
  // The 40 x 40 icon of a row. Most records of a log share a handful of
  // icons, so the last few decoded ones are kept by their text.
  platform::uikit::UIImagePtr rowIcon(const std::string& iconText);
  void present(std::shared_ptr<platform::uikit::UIViewController> alert);
  // The record row `row` shows, from the version on screen.
  int64_t numberForRow(int row);
  // The rows come from the index from here on, once the first indexing
  // ends; rows shown from the newest records that it numbers otherwise are
  // shown again.
  void settle();
  void toggleEditing();

  const EventKind& kind_;
  EventLog log_;
  // The log's first indexing, begun on a worker as the view loads so that
  // it runs while the views and fonts are made and the first rows show.
  // Ends before log_ does.
  std::future<void> indexing_;
  // Meanwhile, the log's newest records, read from its end as the view
  // loads: the first screen's rows, while no search filters them.
  std::optional<EventLogTail> first_;
  // Their icons, decoded on a worker while the views and fonts are made,
  // before the indexing begins there; taken into icons_ at the first row.
  std::shared_future<std::vector<std::pair<size_t, platform::uikit::UIImagePtr>>> firstIcons_;
  // The version the rows on screen come from, taken when the table asks
  // for its row count, that is at each reload; none while they come from
  // first_.
  std::optional<EventLogSnapshot> shown_;
  RecordFilter filter_;
  std::shared_ptr<platform::uikit::UIBarButtonItem> editButton_;
  std::shared_ptr<platform::uikit::UIRefreshControl> refreshControl_;
  std::shared_ptr<platform::uikit::UILabel> emptyLabel_;
  QHash<size_t, platform::uikit::UIImagePtr> icons_;
  // The screen lives as long as the process in the app; a test's or a
  // bench's screen goes earlier, and its observers with it.
  std::vector<platform::NotificationCenter::Token> observers_;
};

class CMRRootViewController : public EventListController {
 public:
  CMRRootViewController() : EventListController(callsKind()) {}
  void viewDidLoad() override;

 private:
  LockWindowCell lockWindow_;
};

class CMRNotifViewController : public EventListController {
 public:
  CMRNotifViewController() : EventListController(notificationsKind()) {}
};

}  // namespace calmora::viewer
