#include "viewer/event_detail_controller.h"

#include "viewer/image_helpers.h"
#include "common/names.h"
#include "platform/foundation/notification_center.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/screen.h"

namespace calmora::viewer {

using namespace platform::uikit;

namespace {
constexpr double kBarHeight = 65;
constexpr double kButtonInset = 10;
constexpr int kLongMessage = 61;  // UTF-16 units from which a message goes under its label
}  // namespace

std::vector<DetailRow> detailRows(const EventKind& kind, const EventRecord& record) {
  std::vector<DetailRow> rows{{"From", record.from}, {kind.isNotification ? "Date" : "Call Date", record.date}};
  if (kind.isNotification) rows.push_back({"Data", record.msg, record.msg.size() >= kLongMessage});
  return rows;
}

EventDetailController::EventDetailController(const EventKind& kind, const EventLogSnapshot& log, int64_t number) {
  EventRecord record = log.record(number);
  bundleID_ = record.appBID;
  appName_ = record.appName;
  iconData_ = record.iconData;
  rows_ = detailRows(kind, record);
  // The screen has no title: a large one would leave an empty band under the bar.
  navigationItem().setLargeTitleDisplayMode(UINavigationItemLargeTitleDisplayMode::Never);
  // Both lists reload, before the list asks for the record's read mark.
  platform::defaultCenter().post(names::signal::kTableRefresh);
}

void EventDetailController::loadView() {
  UIViewController::loadView();
  UIView& root = *view();
  root.setBackgroundColor(UIColor::systemBackgroundColor());
  table_ = make<UITableView>(UITableViewStyle::Plain);
  table_->setDataSource(this);
  table_->setDelegate(this);
  table_->setTranslatesAutoresizingMaskIntoConstraints(false);
  root.addSubview(table_);
  for (auto& c : {table_->leadingAnchor().constraintEqualToAnchor(root.leadingAnchor()),
                  table_->trailingAnchor().constraintEqualToAnchor(root.trailingAnchor()),
                  table_->topAnchor().constraintEqualToAnchor(root.topAnchor()),
                  table_->bottomAnchor().constraintEqualToAnchor(root.bottomAnchor())})
    c->setActive(true);
  // The content ends a bar's height below the last row, so the bar never hides it.
  table_->setTableFooterView(make<UIView>(CGRect(0, 0, 0, kBarHeight)));

  bool modern = isOperatingSystemAtLeastVersion({13, 0, 0});
  auto bar = make<UIVisualEffectView>(UIBlurEffect{modern ? UIBlurEffectStyle::SystemMaterial : UIBlurEffectStyle::Light});
  bar->setTranslatesAutoresizingMaskIntoConstraints(false);
  root.addSubview(bar);
  for (auto& c : {bar->leadingAnchor().constraintEqualToAnchor(root.leadingAnchor()),
                  bar->trailingAnchor().constraintEqualToAnchor(root.trailingAnchor()),
                  bar->heightAnchor().constraintEqualToConstant(kBarHeight),
                  bar->bottomAnchor().constraintEqualToAnchor(root.safeAreaLayoutGuide().bottomAnchor())})
    c->setActive(true);

  auto button = UIButton::buttonWithType(UIButtonType::System);
  button->setTranslatesAutoresizingMaskIntoConstraints(false);
  button->setCornerRadius(10);
  button->setClipsToBounds(true);
  button->addTarget([this] { openApp(); }, UIControlEvents::TouchUpInside);
  button->setTitle("Open in App", UIControlState::Normal);
  // Black or white by the icon colour's luminance: white on a light icon's colour would not read.
  UIColor fill = getAverageColor(decodeBase64ToImage(iconData_));
  button->setTitleColor(fill.contrastingTextColor(), UIControlState::Normal);
  bar->contentView()->addSubview(button);
  button->setBackgroundColor(fill);
  for (auto& c : {button->leadingAnchor().constraintEqualToAnchor(bar->leadingAnchor(), kButtonInset),
                  button->trailingAnchor().constraintEqualToAnchor(bar->trailingAnchor(), -kButtonInset),
                  button->topAnchor().constraintEqualToAnchor(bar->topAnchor(), kButtonInset),
                  button->bottomAnchor().constraintEqualToAnchor(bar->bottomAnchor(), -kButtonInset)})
    c->setActive(true);
}

void EventDetailController::viewDidAppear(bool animated) {
  UIViewController::viewDidAppear(animated);
  if (auto* nav = navigationController()) {
    nav->interactivePopGestureRecognizer().setDelegate(this);
    nav->interactivePopGestureRecognizer().setEnabled(true);
  }
}

void EventDetailController::openApp() {
  // A record without a bundle identifier names no app: nothing is asked of
  // the home screen rather than a launch of the empty identifier.
  if (bundleID_.isEmpty()) return;
  platform::defaultCenter().post(names::signal::kOpenInApp,
                                 {{std::string(names::signal::kBundleID), bundleID_.toStdString()}},
                                 platform::Delivery::Immediate);
}

int EventDetailController::numberOfRowsInSection(UITableView&, int section) {
  return section == 0 ? 1 : int(rows_.size());
}

UITableViewCellPtr EventDetailController::cellForRowAtIndexPath(UITableView& table, NSIndexPath path) {
  if (path.section == 0) {
    auto cell = table.dequeueReusableCellWithIdentifier("LogInfoHeaderCell");
    if (!cell) cell = make<UITableViewCell>(UITableViewCellStyle::Subtitle, "LogInfoHeaderCell");
    cell->textLabel()->setText(appName_);
    cell->imageView()->setImage(imageWithImage(decodeBase64ToImage(iconData_), CGSize(55, 55)));
    UIFont font = cell->textLabel()->font();
    cell->textLabel()->setFont(UIFont::fontWithDescriptor(
        font.fontDescriptor().fontDescriptorWithSymbolicTraits(UIFontDescriptorTraitBold), font.pointSize()));
    cell->setSeparatorInset(UIEdgeInsets{0, 0, 0, CGFLOAT_MAX_VALUE});
    return cell;
  }
  const DetailRow& row = rows_.at(size_t(path.row));
  const QString id = row.subtitleStyle ? "LogInfoSubtitleCell" : "LogInfoCell";
  auto cell = table.dequeueReusableCellWithIdentifier(id);
  if (!cell)
    cell = make<UITableViewCell>(row.subtitleStyle ? UITableViewCellStyle::Subtitle : UITableViewCellStyle::Value1, id);
  cell->textLabel()->setText(row.displayName);
  cell->detailTextLabel()->setText(row.value);
  cell->detailTextLabel()->setLineBreakMode(NSLineBreakMode::ByWordWrapping);
  cell->detailTextLabel()->setNumberOfLines(0);
  cell->setClipsToBounds(true);
  return cell;
}

// The system is 11.0 or later here, where automatic heights fit wrapped text.
double EventDetailController::heightForRowAtIndexPath(UITableView&, NSIndexPath path) {
  return path.section == 0 ? 85 : UITableViewAutomaticDimension;
}

void EventDetailController::didSelectRowAtIndexPath(UITableView& table, NSIndexPath path) {
  table.deselectRowAtIndexPath(path, true);
}

}  // namespace calmora::viewer
