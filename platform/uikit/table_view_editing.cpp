// A table's rows edited in place: the swipe from the right that moves a row
// aside to show its "Delete", and editing mode's red controls.
#include <QPainter>
#include <cmath>

#include "platform/uikit/automation/reading.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/table_view.h"

namespace platform::uikit {

namespace {
constexpr double kDeleteWidth = 80;
constexpr double kEditInset = 38;
// How far a finger goes across a row before it is a swipe, not a tap.
constexpr double kSlop = 8;
constexpr double kSwipeDistance = 30;

// The round red control with a white bar in front of a row in editing mode.
class EditControl : public UIControl {
 public:
  NSIndexPath path;
  void draw(QPainter& painter, const CGRect&) override {
    drawBackground(painter);
    const QPointF c(frame().width() / 2 + 4, frame().height() / 2);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(resolve(UIColor::systemRedColor()));
    painter.drawEllipse(c, 11, 11);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(c.x() - 6, c.y() - 1.25, 12, 2.5), 1, 1);
  }
};

[[maybe_unused]] const bool editControlRead = automation::readAs<EditControl, UIControl>({
    .className = "UITableViewCellEditControl",
    .fields =
        [](const EditControl& c, QJsonObject& node) {
          node["section"] = c.path.section;
          node["row"] = c.path.row;
        },
});
}  // namespace

bool UITableView::canEdit(NSIndexPath p) const {
  return source_ && p.section < numberOfSections() && p.row < numberOfRowsInSection(p.section) &&
         source_->canEditRowAtIndexPath(const_cast<UITableView&>(*this), p);
}

void UITableView::setEditing(bool editing, bool) {
  if (editing == editing_) return;
  editing_ = editing;
  revealed_.reset();
  setNeedsLayout();
  layoutRows();
}

void UITableView::revealDeleteForRow(std::optional<NSIndexPath> path) {
  if (path && !canEdit(*path)) path.reset();
  if (path == revealed_) return;
  revealed_ = path;
  layoutRows();
}

double UITableView::rowShift(NSIndexPath p) const {
  if (revealed_ == p) return -kDeleteWidth;
  return editing_ && canEdit(p) ? kEditInset : 0;
}

void UITableView::placeEditingViews() {
  auto* shown = revealed_ ? cellForRowAtIndexPath(*revealed_) : nullptr;
  if (shown && !deleteButton_) {
    auto button = make<UIButton>(UIButtonType::Custom);
    button->setTitle("Delete", UIControlState::Normal);
    button->setTitleColor(UIColor::whiteColor(), UIControlState::Normal);
    button->setBackgroundColor(UIColor::systemRedColor());
    button->addTarget([this] { commitDelete(); }, UIControlEvents::TouchUpInside);
    deleteButton_ = button;
  }
  if (deleteButton_) {
    if (shown) {
      CGRect r = shown->frame();
      deleteButton_->setFrame(CGRect(frame().width() - kDeleteWidth, r.minY(), kDeleteWidth, r.height()));
      if (deleteButton_->superview() != this) addSubview(deleteButton_);
      bringSubviewToFront(deleteButton_.get());
    }
    deleteButton_->setHidden(!shown);
  }

  size_t used = 0;
  if (editing_)
    for (auto& [p, cell] : visible_) {
      if (!canEdit(p)) continue;
      if (used == editControls_.size()) {
        auto control = make<EditControl>();
        control->setAccessibilityIdentifier("DeleteControl");
        auto* raw = control.get();
        control->addTarget([this, raw] { revealDeleteForRow(raw->path); }, UIControlEvents::TouchUpInside);
        editControls_.push_back(control);
      }
      auto& control = editControls_[used++];
      static_cast<EditControl&>(*control).path = p;
      control->setBackgroundColor(cell->backgroundColor());
      control->setFrame(CGRect(0, cell->frame().minY(), kEditInset, cell->frame().height()));
      if (control->superview() != this) addSubview(control);
      control->setHidden(false);
    }
  for (size_t i = used; i < editControls_.size(); ++i) editControls_[i]->setHidden(true);
}

void UITableView::commitDelete() {
  if (!revealed_ || !source_) return;
  const NSIndexPath path = *revealed_;
  auto keep = weak_from_this().lock();
  revealed_.reset();
  layoutRows();
  source_->commitEditingStyle(*this, UITableViewCellEditingStyle::Delete, path);
}

bool UITableView::touchesBegan(CGPoint point) {
  touchStart_ = convertPoint(point, nullptr);
  touchRow_ = indexPathForRowAtPoint(point);
  gesture_ = Gesture::Undecided;
  return UIScrollView::touchesBegan(point);
}

void UITableView::touchesMoved(CGPoint point) {
  const CGPoint d = convertPoint(point, nullptr) - touchStart_;
  if (gesture_ == Gesture::Undecided && std::max(std::abs(d.x), std::abs(d.y)) >= kSlop)
    gesture_ = std::abs(d.x) > std::abs(d.y) && touchRow_ && !editing_ && canEdit(*touchRow_) ? Gesture::Across
                                                                                                   : Gesture::Along;
  if (gesture_ != Gesture::Across) UIScrollView::touchesMoved(point);
}

void UITableView::touchesEnded(CGPoint point) {
  if (gesture_ == Gesture::Across) {
    const double dx = convertPoint(point, nullptr).x - touchStart_.x;
    if (dx <= -kSwipeDistance) revealDeleteForRow(touchRow_);
    else if (dx >= kSwipeDistance) revealDeleteForRow(std::nullopt);
    return;
  }
  // A tap while a row shows its "Delete" puts the row back, as on a phone,
  // and opens nothing.
  if (gesture_ == Gesture::Undecided && revealed_) {
    revealDeleteForRow(std::nullopt);
    return;
  }
  UIScrollView::touchesEnded(point);
}

}  // namespace platform::uikit
