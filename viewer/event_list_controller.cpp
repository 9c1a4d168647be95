#include "viewer/event_list_controller.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <system_error>

#include "viewer/event_detail_controller.h"
#include "viewer/image_helpers.h"
#include "viewer/record_delete.h"
#include "common/log_store.h"
#include "common/names.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/uikit/alert_controller.h"
#include "platform/uikit/application.h"
#include "platform/uikit/dispatch.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/search_header.h"

namespace calmora::viewer {

using namespace platform::uikit;
using platform::defaultCenter;
using platform::Delivery;

namespace {
constexpr int kIconsKept = 64;
// More rows than a phone's screen shows at once.
constexpr size_t kFirstScreenRows = 24;
// The niceness of an indexing that the first screen does not wait for.
constexpr int kIndexingNice = 5;
const char* const kEyeImage = "/Library/PreferenceBundles/CalmoPrefs.bundle/eye.png";

size_t iconKey(const std::string& iconText) { return std::hash<std::string>{}(iconText); }
// The 40 x 40 icon of a row; on any thread.
UIImagePtr rowIconOf(const std::string& iconText) {
  return imageWithImage(decodeBase64ToImage(iconText), CGSize(40, 40));
}
}  // namespace

EventListController::EventListController(const EventKind& kind)
    : UITableViewController(UITableViewStyle::Grouped), kind_(kind), log_(platform::devicePath(kind.logPath)) {
  setTabBarItem(std::make_shared<UITabBarItem>(kind_.tabTitle, artwork(kind_.tabImage, 25), 0));
  // The request goes out before the observer exists: the answer comes back
  // from another process, on a later turn of the main loop.
  defaultCenter().post(kind_.unreadRequest);
  observers_.push_back(defaultCenter().addObserver(kind_.unreadReply, [this](const platform::Notification& n) {
    auto it = n.userInfo.find(std::string(names::signal::kBadges));
    // A missing value clears the badge, as "0" does.
    if (it == n.userInfo.end() || it->second == "0")
      tabBarItem()->setBadgeValue(std::nullopt);
    else
      tabBarItem()->setBadgeValue(QString::fromStdString(it->second));
    platform::log("CalmoDebug iiiiiii notifffsetBadgeValue:-", it == n.userInfo.end() ? "(null)" : it->second);
    // The library answers after it has applied the read marks asked before,
    // which the detail screen's refresh came too early to show.
    if (isViewLoaded()) tableView()->reloadData();
  }));
}

EventListController::~EventListController() {
  if (indexing_.valid()) indexing_.wait();
  for (auto token : observers_) defaultCenter().removeObserver(token);
}

void EventListController::loadView() {
  first_ = log_.newest(kFirstScreenRows);
  try {
    if (first_) {
      std::vector<std::string> texts;
      for (const auto& r : first_->records)
        if (std::find(texts.begin(), texts.end(), r.iconData) == texts.end()) texts.push_back(r.iconData);
      firstIcons_ = std::async(std::launch::async, [texts = std::move(texts)] {
        std::vector<std::pair<size_t, UIImagePtr>> icons;
        for (const auto& text : texts) icons.emplace_back(iconKey(text), rowIconOf(text));
        return icons;
      });
    }
    indexing_ = std::async(std::launch::async, [this, alive = weak_from_this(), icons = firstIcons_] {
      // The icons first: the first screen waits for them, not for the
      // index, which then yields to the main thread where cores are scarce.
      if (icons.valid()) {
        icons.wait();
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kIndexingNice);
      }
      log_.current();
      DispatchQueue::main().async([this, alive] {
        if (!alive.expired()) settle();
      });
    });
  } catch (const std::system_error&) {
    // No thread to spare: the first row count indexes the log itself.
    first_.reset();
    firstIcons_ = {};
  }
  UITableViewController::loadView();
  if (auto* nav = navigationController()) nav->setPrefersLargeTitles(true);
  refreshControl_ = make<UIRefreshControl>();
  refreshControl_->addTarget([this] { refreshTable(); });
  setRefreshControl(refreshControl_);
  emptyLabel_ = make<UILabel>();
  emptyLabel_->setText(kind_.emptyText);
  emptyLabel_->setTextAlignment(NSTextAlignment::Center);
  emptyLabel_->setTextColor(UIColor::secondaryLabelColor());
  tableView()->setTableHeaderView(make<SearchHeader>([this](const QString& text) { search(text); }));
}

void EventListController::viewDidLoad() {
  UITableViewController::viewDidLoad();
  navigationItem().setTitle(kind_.navigationTitle);
  auto eye = std::make_shared<UIBarButtonItem>(artwork(kEyeImage, 25), UIBarButtonItemStyle::Plain,
                                               [this] { markAllRead(); });
  auto trash = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::Trash, [this] { removeAllData(); });
  navigationItem().setRightBarButtonItems({trash, eye});
  toggleEditing();
  observers_.push_back(defaultCenter().addObserver(names::signal::kTableRefresh, [this](const platform::Notification&) {
    refreshTable();
    platform::log(kind_.refreshLogLine);
  }));
}

void EventListController::viewWillAppear(bool animated) {
  UITableViewController::viewWillAppear(animated);
  // Back from a detail screen: the record it showed may be read by now.
  tableView()->reloadData();
}

void EventListController::refreshTable() {
  if (refreshControl_ && refreshControl_->isRefreshing()) refreshControl_->endRefreshing();
  tableView()->reloadData();
}

int EventListController::numberOfRowsInSection(UITableView&, int) {
  if (first_ && !filter_.active() && indexing_.valid() &&
      indexing_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    tableView()->setBackgroundView(nullptr);
    return int(std::min<int64_t>(first_->count, INT32_MAX));
  }
  settle();
  shown_ = log_.current();
  tableView()->setBackgroundView(shown_->count() == 0 ? emptyLabel_ : nullptr);
  return int(std::min<int64_t>(filter_.rowCount(*shown_), INT32_MAX));
}

void EventListController::settle() {
  if (indexing_.valid()) indexing_.get();
  if (!first_) return;
  const EventLogTail shownFirst = std::move(*first_);
  first_.reset();
  shown_ = log_.current();
  // The same bytes with as many records number them as their end did.
  if (shown_->generation() != shownFirst.generation || shown_->count() != shownFirst.count)
    DispatchQueue::main().async([this, alive = weak_from_this()] {
      if (!alive.expired()) tableView()->reloadData();
    });
}

int64_t EventListController::numberForRow(int row) {
  if (first_ || !shown_) settle();
  if (!shown_) shown_ = log_.current();
  return filter_.numberForRow(*shown_, row);
}

void EventListController::search(const QString& text) {
  filter_.setText(text);
  tableView()->reloadData();
}

// Edit shows each row's red control; Done puts them away. Called once to
// set the button up.
void EventListController::toggleEditing() {
  const bool editing = editButton_ && !tableView()->isEditing();
  tableView()->setEditing(editing);
  editButton_ = std::make_shared<UIBarButtonItem>(editing ? UIBarButtonSystemItem::Done : UIBarButtonSystemItem::Edit,
                                                  [this] { toggleEditing(); });
  navigationItem().setLeftBarButtonItem(editButton_);
}

void EventListController::commitEditingStyle(UITableView&, UITableViewCellEditingStyle style, NSIndexPath path) {
  if (style != UITableViewCellEditingStyle::Delete) return;
  const int64_t number = numberForRow(path.row);
  deleteShownRecord(*shown_, number, log_.path(), kind_);
  tableView()->reloadData();
}

UITableViewCellPtr EventListController::cellForRowAtIndexPath(UITableView& table, NSIndexPath path) {
  auto cell = table.dequeueReusableCellWithIdentifier("SimpleTableItem");
  if (!cell) cell = make<UITableViewCell>(UITableViewCellStyle::Subtitle, "SimpleTableItem");
  EventRecord record;
  if (first_ && size_t(path.row) < first_->records.size()) {
    record = first_->records[size_t(path.row)];
  } else {
    const int64_t number = numberForRow(path.row);
    record = shown_->record(number);
  }
  cell->textLabel()->setText(record.data);
  cell->detailTextLabel()->setText(record.date);
  cell->imageView()->setImage(rowIcon(record.iconData));
  // The label colour follows the appearance as it changes, the row on screen.
  cell->textLabel()->setTextColor(record.isRead ? UIColor::labelColor() : UIColor::redColor());
  return cell;
}

UIImagePtr EventListController::rowIcon(const std::string& iconText) {
  if (firstIcons_.valid()) {
    for (const auto& [key, icon] : firstIcons_.get()) icons_.insert(key, icon);
    firstIcons_ = {};
  }
  const size_t key = iconKey(iconText);
  if (auto it = icons_.find(key); it != icons_.end()) return it.value();
  if (icons_.size() >= kIconsKept) icons_.clear();
  UIImagePtr icon = rowIconOf(iconText);
  icons_.insert(key, icon);
  return icon;
}

void EventListController::didSelectRowAtIndexPath(UITableView& table, NSIndexPath path) {
  table.deselectRowAtIndexPath(path, true);
  // The record the row shows, from the version on screen.
  const int64_t number = numberForRow(path.row);
  UIViewControllerPtr detail;
  if (kind_.isNotification)
    detail = std::make_shared<CMRMoreInfoNotiViewController>(*shown_, number);
  else
    detail = std::make_shared<CMRMoreInfoCallsViewController>(*shown_, number);
  if (auto* nav = navigationController()) nav->pushViewController(detail, true);
  defaultCenter().post(kind_.markOne, {{std::string(names::signal::kKey), std::to_string(number)}},
                       Delivery::Immediate);
  defaultCenter().post(kind_.unreadRequest);
}

void EventListController::present(std::shared_ptr<UIViewController> alert) {
  UIViewController* root = nullptr;
  if (auto* delegate = UIApplication::sharedApplication().delegate())
    if (auto* window = delegate->window()) root = window->rootViewController().get();
  (root ? root : this)->presentViewController(std::move(alert), true);
}

void EventListController::markAllRead() {
  auto alert = UIAlertController::alertControllerWithTitle(
      "Mark all as read", "Are you sure you want to mark all the data as read", UIAlertControllerStyle::Alert);
  alert->addAction(std::make_shared<UIAlertAction>("Yes", UIAlertActionStyle::Default, [this](const UIAlertAction&) {
    defaultCenter().post(kind_.markAll, {}, Delivery::Immediate);
    // The library answers nothing the list could wait for; the delay is all.
    DispatchQueue::main().after(0.5, [this, alive = weak_from_this()] {
      // The list may be gone by then (a test's, a bench's).
      if (alive.expired()) return;
      tableView()->reloadData();
      tabBarItem()->setBadgeValue(std::nullopt);
    });
  }));
  alert->addAction(std::make_shared<UIAlertAction>("NO", UIAlertActionStyle::Default, nullptr));
  present(alert);
}

void EventListController::removeAllData() {
  auto alert = UIAlertController::alertControllerWithTitle("Delete", "Are you sure you want to delete all the data?",
                                                           UIAlertControllerStyle::Alert);
  alert->addAction(std::make_shared<UIAlertAction>("Yes", UIAlertActionStyle::Default, [this](const UIAlertAction&) {
    // Emptied under the writers' lock at "Yes", not from a copy read when
    // the button was pressed: a record the library appends meanwhile is
    // then either in the emptied log's past or written after it, never lost
    // halfway nor brought back. With no file, nothing is written.
    if (auto emptied = logs::empty(log_.path()); !emptied)
      platform::log("CalmoDebug: ", log_.path().string(), " not emptied: ", emptied.error().describe());
    tableView()->reloadData();
  }));
  alert->addAction(std::make_shared<UIAlertAction>("NO", UIAlertActionStyle::Default, nullptr));
  present(alert);
}

void CMRRootViewController::viewDidLoad() {
  EventListController::viewDidLoad();
  lockWindow_ = startAppLock();
}

}  // namespace calmora::viewer
