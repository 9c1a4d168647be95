#include "platform/phoneapps/conversations.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <map>

#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/screen.h"

namespace platform::phoneapps {
namespace uk = platform::uikit;

namespace {

// The unread mark: a blue dot, or a clear one of the same size so that
// names line up.
uk::UIImagePtr dot(bool shown) {
  const double scale = uk::UIScreen::mainScreen().scale();
  const int side = int(10 * scale);
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  if (shown) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(10, 132, 255));
    p.drawEllipse(QRectF(0, 0, side, side));
  }
  return std::make_shared<uk::UIImage>(std::move(image), scale);
}

QString preview(const MessageEntry& m) {
  QString text = m.subtitle.isEmpty() ? m.message : m.subtitle + QString::fromUtf8(" \u2014 ") + m.message;
  return text.left(200).replace('\n', ' ');
}

// A message in a rounded bubble at the left, as messages that came in are.
class BubbleCell : public uk::UITableViewCell {
 public:
  BubbleCell() : UITableViewCell(uk::UITableViewCellStyle::Default, "Bubble") {
    setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
    setSeparatorInset(uk::UIEdgeInsets{0, 0, 0, 100000});
    bubble_->setBackgroundColor(uk::UIColor::dynamic(uk::UIColor::colorWithWhite(0.91, 1),
                                                     uk::UIColor::colorWithWhite(0.17, 1)));
    bubble_->setCornerRadius(17);
    text_->setNumberOfLines(0);
    text_->setLineBreakMode(uk::NSLineBreakMode::ByWordWrapping);
    time_->setFont(uk::UIFont::systemFontOfSize(11));
    time_->setTextColor(uk::UIColor::secondaryLabelColor());
    contentView()->addSubview(bubble_);
    bubble_->addSubview(text_);
    contentView()->addSubview(time_);
  }
  void set(const MessageEntry& m) {
    text_->setText(m.subtitle.isEmpty() ? m.message : m.subtitle + "\n" + m.message);
    time_->setText(shortTime(m.dateMs));
    setNeedsLayout();
  }
  uk::CGSize sizeThatFits(uk::CGSize size) const override {
    const uk::CGSize text = text_->sizeThatFits(uk::CGSize(maxText(size.width), 1e6));
    return uk::CGSize(size.width, text.height + 2 * kPadY + kTime + 2 * kGap);
  }
  void layoutSubviews() override {
    UITableViewCell::layoutSubviews();
    const double w = bounds().width();
    const uk::CGSize text = text_->sizeThatFits(uk::CGSize(maxText(w), 1e6));
    const double tw = std::min(maxText(w), text.width);
    bubble_->setFrame(uk::CGRect(12, kGap, tw + 2 * kPadX, text.height + 2 * kPadY));
    text_->setFrame(uk::CGRect(kPadX, kPadY, tw, text.height));
    time_->setFrame(uk::CGRect(20, kGap + text.height + 2 * kPadY, 120, kTime));
  }

 private:
  static constexpr double kPadX = 12, kPadY = 8, kGap = 4, kTime = 14;
  static double maxText(double width) { return std::max(40.0, width * 0.75 - 2 * kPadX); }
  std::shared_ptr<uk::UIView> bubble_ = uk::make<uk::UIView>();
  std::shared_ptr<uk::UILabel> text_ = uk::make<uk::UILabel>();
  std::shared_ptr<uk::UILabel> time_ = uk::make<uk::UILabel>();
};

}  // namespace

std::vector<Conversation> conversationsOf(const std::vector<MessageEntry>& newestFirst) {
  std::vector<Conversation> out;
  std::map<QString, size_t> byTitle;
  for (const MessageEntry& m : newestFirst) {
    auto [it, added] = byTitle.try_emplace(m.title, out.size());
    if (added) out.push_back({m.title, {}, false});
    Conversation& c = out[it->second];
    c.messages.push_back(m);
    c.unread = c.unread || !m.opened;
  }
  for (auto& c : out) std::reverse(c.messages.begin(), c.messages.end());
  return out;
}

ConversationsController::ConversationsController(std::string bundle, QString title) : bundle_(std::move(bundle)) {
  setTitle(title);
}

void ConversationsController::viewDidLoad() {
  tableView()->setRowHeight(64);
  watch_ = std::make_unique<RecordsWatch>(deliveredFile(), [this] { reload(); });
}

void ConversationsController::viewWillAppear(bool animated) {
  UITableViewController::viewWillAppear(animated);
  reload();
}

void ConversationsController::reload() {
  conversations_ = conversationsOf(readMessages(bundle_));
  for (auto& c : conversations_)
    if (opened_.count(c.title)) c.unread = false;
  if (isViewLoaded()) tableView()->reloadData();
}

uk::UITableViewCellPtr ConversationsController::cellForRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  auto cell = table.dequeueReusableCellWithIdentifier("Conversation");
  auto* time = cell ? static_cast<uk::UILabel*>(cell->accessoryView().get()) : nullptr;
  if (!cell) {
    cell = uk::make<uk::UITableViewCell>(uk::UITableViewCellStyle::Subtitle, "Conversation");
    auto label = uk::make<uk::UILabel>();
    label->setFont(uk::UIFont::systemFontOfSize(15));
    label->setTextColor(uk::UIColor::secondaryLabelColor());
    label->setTextAlignment(uk::NSTextAlignment::Right);
    label->setFrame(uk::CGRect(0, 0, 90, 20));
    time = label.get();
    cell->setAccessoryView(label);
  }
  const Conversation& c = conversations_.at(size_t(path.row));
  cell->imageView()->setImage(dot(c.unread));
  cell->textLabel()->setText(c.title.isEmpty() ? QString("Unknown") : c.title.left(200));
  cell->textLabel()->setFont(c.unread ? uk::UIFont::boldSystemFontOfSize(17) : uk::UIFont::systemFontOfSize(17));
  cell->detailTextLabel()->setText(preview(c.messages.back()));
  time->setText(shortTime(c.messages.back().dateMs));
  return cell;
}

void ConversationsController::didSelectRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  table.deselectRowAtIndexPath(path, true);
  Conversation& c = conversations_.at(size_t(path.row));
  if (c.unread) {
    opened_.insert(c.title);
    c.unread = false;
  }
  if (auto* nav = navigationController()) nav->pushViewController(std::make_shared<ConversationController>(bundle_, c), true);
}

ConversationController::ConversationController(std::string bundle, Conversation conversation)
    : bundle_(std::move(bundle)), conversation_(std::move(conversation)) {
  setTitle(conversation_.title.left(60));
  navigationItem().setLargeTitleDisplayMode(uk::UINavigationItemLargeTitleDisplayMode::Never);
}

void ConversationController::viewDidLoad() { tableView()->setEstimatedRowHeight(60); }

void ConversationController::viewDidAppear(bool animated) {
  UITableViewController::viewDidAppear(animated);
  if (!conversation_.messages.empty())
    tableView()->scrollToRowAtIndexPath({0, int(conversation_.messages.size()) - 1}, uk::UITableViewScrollPosition::Bottom, false);
  // Asked every time: the home screen marks only what is still unread.
  requestMarkOpened(bundle_, conversation_.title);
}

uk::UITableViewCellPtr ConversationController::cellForRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  auto cell = std::static_pointer_cast<BubbleCell>(table.dequeueReusableCellWithIdentifier("Bubble"));
  if (!cell) cell = uk::make<BubbleCell>();
  cell->set(conversation_.messages.at(size_t(path.row)));
  return cell;
}

}  // namespace platform::phoneapps
