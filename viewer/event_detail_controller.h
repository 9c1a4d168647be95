// One blocked event in detail: the source app's icon and name, the record's
// fields, and "Open in App" in a blurred bar tinted with the icon's colour.
// CMRMoreInfoCallsViewController and CMRMoreInfoNotiViewController are this
// screen for each log.
#pragma once

#include <QString>
#include <vector>

#include "viewer/event_kind.h"
#include "viewer/event_log.h"
#include "platform/uikit/table_view.h"
#include "platform/uikit/view_controller.h"

namespace calmora::viewer {

struct DetailRow {
  QString displayName;
  QString value;
  bool subtitleStyle = false;
};

// The detail rows of a record: "From", the date, and for a notification
// its message, under its label when it is 61 UTF-16 units or longer.
std::vector<DetailRow> detailRows(const EventKind& kind, const EventRecord& record);

class EventDetailController : public platform::uikit::UIViewController,
                              public platform::uikit::UITableViewDataSource,
                              public platform::uikit::UITableViewDelegate {
 public:
  // Copies record `number` of the version the list showed.
  EventDetailController(const EventKind& kind, const EventLogSnapshot& log, int64_t number);

  void loadView() override;
  void viewDidAppear(bool animated) override;
  void openApp();
  platform::uikit::UITableView* tableView() const { return table_.get(); }

  int numberOfSectionsInTableView(platform::uikit::UITableView&) override { return 2; }
  int numberOfRowsInSection(platform::uikit::UITableView& table, int section) override;
  platform::uikit::UITableViewCellPtr cellForRowAtIndexPath(platform::uikit::UITableView& table,
                                                            platform::uikit::NSIndexPath path) override;
  double heightForRowAtIndexPath(platform::uikit::UITableView& table, platform::uikit::NSIndexPath path) override;
  void didSelectRowAtIndexPath(platform::uikit::UITableView& table, platform::uikit::NSIndexPath path) override;

 private:
  QString bundleID_, appName_;
  std::string iconData_;
  std::vector<DetailRow> rows_;
  platform::uikit::UITableViewPtr table_;
};

}  // namespace calmora::viewer

namespace calmora::viewer {

class CMRMoreInfoCallsViewController : public EventDetailController {
 public:
  CMRMoreInfoCallsViewController(const EventLogSnapshot& log, int64_t number)
      : EventDetailController(callsKind(), log, number) {}
};

class CMRMoreInfoNotiViewController : public EventDetailController {
 public:
  CMRMoreInfoNotiViewController(const EventLogSnapshot& log, int64_t number)
      : EventDetailController(notificationsKind(), log, number) {}
};

}  // namespace calmora::viewer
