// The delivered notifications, pulled down from the top edge: newest first,
// grouped by app (the app with the newest notification first), each
// removable with a swipe, "Clear" for all of them. A tap opens the row's
// app; a drag up, or Home, closes the list. Rows are read from the records
// as they come on screen, so a list of thousands opens in the time of one
// screen.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/apps/app_registry.h"
#include "platform/records/delivered_notifications.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/table_view.h"

namespace platform::springboard {

class SBNotificationListView : public uikit::UIView, uikit::UITableViewDataSource, uikit::UITableViewDelegate {
 public:
  struct Actions {
    std::function<void(const platform::records::NotificationRecord&)> open;
    std::function<void()> close;
    std::function<void()> changed;  // a row removed or all cleared
  };
  SBNotificationListView(const uikit::CGRect& frame, platform::records::DeliveredNotifications* records,
                         std::shared_ptr<platform::apps::AppRegistry> apps, Actions actions);

  // Reads the groups again (rows are read as they show).
  void reload();
  uikit::UITableView& table() { return *table_; }

  bool touchesBegan(uikit::CGPoint point) override;
  void touchesEnded(uikit::CGPoint point) override;
  void draw(QPainter& painter, const uikit::CGRect& rect) override;

 private:
  int numberOfSectionsInTableView(uikit::UITableView&) override;
  int numberOfRowsInSection(uikit::UITableView&, int section) override;
  uikit::UITableViewCellPtr cellForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;
  std::optional<QString> titleForHeaderInSection(uikit::UITableView&, int section) override;
  bool canEditRowAtIndexPath(uikit::UITableView&, uikit::NSIndexPath) override { return true; }
  void commitEditingStyle(uikit::UITableView&, uikit::UITableViewCellEditingStyle, uikit::NSIndexPath path) override;
  void didSelectRowAtIndexPath(uikit::UITableView&, uikit::NSIndexPath path) override;
  std::optional<platform::records::NotificationRecord> row(uikit::NSIndexPath path) const;

  platform::records::DeliveredNotifications* records_;
  std::shared_ptr<platform::apps::AppRegistry> apps_;
  Actions actions_;
  std::vector<platform::records::BundleCount> groups_;
  std::shared_ptr<uikit::UITableView> table_;
  std::shared_ptr<uikit::UIButton> clear_;
  std::shared_ptr<uikit::UILabel> empty_;
  double startY_ = 0;
};

}  // namespace platform::springboard
