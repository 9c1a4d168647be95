#include "platform/springboard/notification_list.h"

#include <QPainter>

#include "platform/springboard/short_text.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/label.h"

namespace platform::springboard {

namespace {
using platform::records::Cleared;
constexpr double kHeader = 64, kDragUp = 40;

[[maybe_unused]] const bool listRead =
    uikit::automation::readAs<SBNotificationListView, uikit::UIView>({.className = "SBNotificationListView"});
}  // namespace

SBNotificationListView::SBNotificationListView(const uikit::CGRect& frame,
                                               platform::records::DeliveredNotifications* records,
                                               std::shared_ptr<platform::apps::AppRegistry> apps, Actions actions)
    : uikit::UIView(frame), records_(records), apps_(std::move(apps)), actions_(std::move(actions)) {
  const double w = frame.width(), h = frame.height();
  setBackgroundColor(uikit::UIColor::systemGroupedBackgroundColor());
  auto title = uikit::make<uikit::UILabel>(uikit::CGRect(16, 24, w - 120, 34));
  title->setText("Notifications");
  title->setFont(uikit::UIFont::boldSystemFontOfSize(28));
  addSubview(title);
  clear_ = uikit::UIButton::buttonWithType(uikit::UIButtonType::System);
  clear_->setTitle("Clear", uikit::UIControlState::Normal);
  clear_->setFrame(uikit::CGRect(w - 90, 24, 80, 34));
  clear_->addTarget(
      [this] {
        if (records_) records_->clearAll();
        reload();
        if (actions_.changed) actions_.changed();
      },
      uikit::UIControlEvents::TouchUpInside);
  addSubview(clear_);
  table_ = uikit::make<uikit::UITableView>(uikit::UITableViewStyle::Grouped, uikit::CGRect(0, kHeader, w, h - kHeader));
  table_->setRowHeight(64);
  table_->setDataSource(this);
  table_->setDelegate(this);
  empty_ = uikit::make<uikit::UILabel>(uikit::CGRect(0, 0, w, 60));
  empty_->setText("No Older Notifications");
  empty_->setTextColor(uikit::UIColor::secondaryLabelColor());
  empty_->setTextAlignment(uikit::NSTextAlignment::Center);
  table_->setBackgroundView(empty_);
  addSubview(table_);
}

void SBNotificationListView::reload() {
  groups_ = records_ ? records_->bundles(Cleared::Exclude) : std::vector<platform::records::BundleCount>{};
  empty_->setHidden(!groups_.empty());
  clear_->setHidden(groups_.empty());
  table_->reloadData();
}

int SBNotificationListView::numberOfSectionsInTableView(uikit::UITableView&) { return static_cast<int>(groups_.size()); }

int SBNotificationListView::numberOfRowsInSection(uikit::UITableView&, int section) {
  return section < static_cast<int>(groups_.size()) ? static_cast<int>(groups_[section].count) : 0;
}

std::optional<QString> SBNotificationListView::titleForHeaderInSection(uikit::UITableView&, int section) {
  if (section >= static_cast<int>(groups_.size())) return std::nullopt;
  auto app = apps_ ? apps_->app(groups_[section].bundle) : std::nullopt;
  return shortText(app && !app->displayName.empty() ? app->displayName : groups_[section].bundle, 40);
}

std::optional<platform::records::NotificationRecord> SBNotificationListView::row(uikit::NSIndexPath path) const {
  if (!records_ || path.section >= static_cast<int>(groups_.size())) return std::nullopt;
  auto rows = records_->list(groups_[path.section].bundle, Cleared::Exclude, 1, path.row);
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

uikit::UITableViewCellPtr SBNotificationListView::cellForRowAtIndexPath(uikit::UITableView& table,
                                                                        uikit::NSIndexPath path) {
  auto cell = table.dequeueReusableCellWithIdentifier("notification");
  if (!cell) cell = uikit::make<uikit::UITableViewCell>(uikit::UITableViewCellStyle::Subtitle, "notification");
  auto n = row(path);
  cell->textLabel()->setText(n ? shortText(n->title, 200) : QString());
  cell->detailTextLabel()->setText(n ? shortText(n->message.empty() ? n->subtitle : n->message, 200) : QString());
  return cell;
}

void SBNotificationListView::commitEditingStyle(uikit::UITableView&, uikit::UITableViewCellEditingStyle,
                                                uikit::NSIndexPath path) {
  if (auto n = row(path); n && records_) records_->clear(n->id);
  reload();
  if (actions_.changed) actions_.changed();
}

void SBNotificationListView::didSelectRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) {
  table.deselectRowAtIndexPath(path, false);
  if (auto n = row(path); n && actions_.open) actions_.open(*n);
}

// A drag up over the list's header closes it.
bool SBNotificationListView::touchesBegan(uikit::CGPoint point) {
  startY_ = point.y;
  return true;
}

void SBNotificationListView::touchesEnded(uikit::CGPoint point) {
  if (startY_ - point.y > kDragUp && actions_.close) actions_.close();
}

void SBNotificationListView::draw(QPainter& painter, const uikit::CGRect& rect) { drawBackground(painter); (void)rect; }

}  // namespace platform::springboard
