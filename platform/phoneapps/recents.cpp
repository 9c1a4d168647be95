#include "platform/phoneapps/recents.h"

#include "platform/records/records.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/dispatch.h"

namespace platform::phoneapps {
namespace uk = platform::uikit;

namespace {

// The segmented control centred in a header that scrolls with the rows.
class FilterHeader : public uk::UIView {
 public:
  explicit FilterHeader(std::shared_ptr<uk::UISegmentedControl> control)
      : UIView(uk::CGRect(0, 0, 320, 44)), control_(std::move(control)) {
    addSubview(control_);
  }
  void layoutSubviews() override {
    const double w = 180;
    control_->setFrame(uk::CGRect((bounds().width() - w) / 2, 6, w, 32));
  }

 private:
  std::shared_ptr<uk::UISegmentedControl> control_;
};

QString outcomeText(const CallEntry& c) {
  if (c.outcome == "answered") return "Answered";
  if (c.outcome == "declined") return "Declined";
  return "Missed";
}

}  // namespace

RecentsController::RecentsController(std::string bundle) : bundle_(std::move(bundle)) { setTitle("Recents"); }

void RecentsController::viewDidLoad() {
  filter_ = uk::make<uk::UISegmentedControl>(std::vector<QString>{"All", "Missed"});
  filter_->setSelectedSegmentIndex(0);
  auto* control = filter_.get();
  filter_->addTarget([this, control] { showMissedOnly(control->selectedSegmentIndex() == 1); },
                     uk::UIControlEvents::ValueChanged);
  tableView()->setTableHeaderView(uk::make<FilterHeader>(filter_));
  tableView()->setRowHeight(60);
  watch_ = std::make_unique<RecordsWatch>(callHistoryFile(), [this] { reload(); });
}

void RecentsController::viewWillAppear(bool animated) {
  UITableViewController::viewWillAppear(animated);
  reload();
}

void RecentsController::reload() {
  // A screen's worth first, the rest on the next turn: the list shows at
  // once however long the history is.
  constexpr int64_t kFirstScreen = 50;
  load(kFirstScreen);
  if (calls_.size() < size_t(kFirstScreen)) return;
  uk::DispatchQueue::main().async([weak = weak_from_this()] {
    if (auto self = weak.lock()) static_cast<RecentsController*>(self.get())->load(records::kMaxCalls);
  });
}

void RecentsController::load(int64_t limit) {
  calls_ = readCalls(bundle_, limit);
  all_.clear();
  missed_.clear();
  all_.reserve(calls_.size());
  for (size_t i = 0; i < calls_.size(); ++i) {
    all_.push_back(i);
    if (calls_[i].missed()) missed_.push_back(i);
  }
  if (isViewLoaded()) tableView()->reloadData();
}

void RecentsController::showMissedOnly(bool missed) {
  if (missedOnly_ == missed) return;
  missedOnly_ = missed;
  tableView()->reloadData();
}

uk::UITableViewCellPtr RecentsController::cellForRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  auto cell = table.dequeueReusableCellWithIdentifier("Call");
  auto* time = cell ? static_cast<uk::UILabel*>(cell->accessoryView().get()) : nullptr;
  if (!cell) {
    cell = uk::make<uk::UITableViewCell>(uk::UITableViewCellStyle::Subtitle, "Call");
    cell->setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
    auto label = uk::make<uk::UILabel>();
    label->setFont(uk::UIFont::systemFontOfSize(15));
    label->setTextColor(uk::UIColor::secondaryLabelColor());
    label->setTextAlignment(uk::NSTextAlignment::Right);
    label->setFrame(uk::CGRect(0, 0, 90, 20));
    time = label.get();
    cell->setAccessoryView(label);
  }
  const CallEntry& call = calls_.at(shown().at(size_t(path.row)));
  const QString name = call.name.isEmpty() ? (call.number.isEmpty() ? QString("Unknown") : call.number) : call.name;
  cell->textLabel()->setText(name.left(200));
  cell->textLabel()->setTextColor(call.missed() ? uk::UIColor::systemRedColor() : uk::UIColor::labelColor());
  const QString app = call.appName.isEmpty() ? QString::fromStdString(call.bundle) : call.appName;
  cell->detailTextLabel()->setText(app.left(60) + QString::fromUtf8(" \u00B7 ") + outcomeText(call));
  time->setText(shortTime(call.dateMs));
  return cell;
}

}  // namespace platform::phoneapps
