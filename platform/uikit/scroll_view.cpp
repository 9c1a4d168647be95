#include "platform/uikit/scroll_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/uikit/automation/reading.h"
#include "platform/uikit/screen.h"

namespace platform::uikit {

namespace {
constexpr double kTapSlop = 8;
// How far above the top a drag may pull the content.
constexpr double kMaxPull = 150;
}  // namespace

void UIScrollView::setContentSize(CGSize size) {
  contentSize_ = size;
  setContentOffset(contentOffset());
}

double UIScrollView::minOffsetY() const {
  return -topInset_ - (refresh_ && refresh_->isRefreshing() ? UIRefreshControl::kHeight : 0);
}

void UIScrollView::setTopContentInset(double inset) {
  if (inset == topInset_) return;
  // Content shown from its top stays shown from its top.
  const bool atTop = contentOffset().y <= minOffsetY();
  topInset_ = inset;
  placeRefreshControl();
  setContentOffset(atTop ? CGPoint(0, minOffsetY()) : contentOffset());
}

double UIScrollView::maxOffsetY() const { return std::max(minOffsetY(), contentSize_.height - frame().height()); }

void UIScrollView::setContentOffset(CGPoint offset, bool) {
  double y = dragging_ ? std::clamp(offset.y, -topInset_ - kMaxPull, maxOffsetY() + kMaxPull)
                       : std::clamp(offset.y, minOffsetY(), maxOffsetY());
  if (y == contentOffset().y) return;
  // Rows rearranged for the new offset move once, straight to their place.
  setBoundsOriginOnly(CGPoint(0, y));
  didScroll();
  placeSubviews();
  if (offsetObserver_) offsetObserver_();
}

void UIScrollView::setRefreshControl(std::shared_ptr<UIRefreshControl> control) {
  if (refresh_) refresh_->removeFromSuperview();
  refresh_ = std::move(control);
  if (!refresh_) return;
  placeRefreshControl();
  insertSubview(refresh_, 0);
}

void UIScrollView::placeRefreshControl() {
  if (refresh_)
    refresh_->setFrame(CGRect(0, -topInset_ - UIRefreshControl::kHeight, frame().width(), UIRefreshControl::kHeight));
}

void UIScrollView::refreshEnded() { setContentOffset(contentOffset()); }

bool UIScrollView::touchesBegan(CGPoint point) {
  touchStart_ = convertPoint(point, nullptr);
  offsetAtStart_ = contentOffset().y;
  dragging_ = false;
  return true;
}

void UIScrollView::touchesMoved(CGPoint point) {
  double dy = convertPoint(point, nullptr).y - touchStart_.y;
  if (!dragging_ && std::abs(dy) < kTapSlop) return;
  dragging_ = true;
  setContentOffset(CGPoint(0, offsetAtStart_ - dy));
}

void UIScrollView::touchesEnded(CGPoint point) {
  if (!dragging_) {
    tapAt(point);
    return;
  }
  bool pulledFar = contentOffset().y + topInset_ <= -UIRefreshControl::kHeight;
  dragging_ = false;
  if (pulledFar && refresh_ && !refresh_->isRefreshing()) {
    refresh_->beginRefreshing();
    refresh_->pulled();
  }
  // Settles within the content; a refresh ended by its action already
  // brought the content back. Let go inside the room above the content (a
  // large title half shrunk), it settles at the nearer end of that room.
  const double y = contentOffset().y;
  if (topInset_ > 0 && y > -topInset_ && y < 0)
    setContentOffset(CGPoint(0, y < -topInset_ / 2 ? -topInset_ : 0));
  else
    setContentOffset(contentOffset());
}

bool UIScrollView::scrollWheel(double deltaY) {
  setContentOffset(CGPoint(0, contentOffset().y + deltaY));
  return true;
}

UIRefreshControl::UIRefreshControl() { setUserInteractionEnabled(false); }

void UIRefreshControl::beginRefreshing() {
  refreshing_ = true;
  setNeedsDisplay();
}

void UIRefreshControl::endRefreshing() {
  if (!refreshing_) return;
  refreshing_ = false;
  setNeedsDisplay();
  if (auto* scroll = dynamic_cast<UIScrollView*>(superview())) scroll->refreshEnded();
}

void UIRefreshControl::pulled() {
  auto keep = weak_from_this().lock();
  auto due = actions_;
  for (auto& action : due) action();
}

void UIRefreshControl::draw(QPainter& painter, const CGRect&) {
  if (!refreshing_) return;
  // A spinner's spokes.
  QPointF c(frame().width() / 2, frame().height() / 2);
  painter.setPen(QPen(resolve(UIColor::systemGrayColor()), 2.5, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 8; ++i) {
    double a = i * M_PI / 4;
    painter.drawLine(c + QPointF(std::cos(a) * 5, std::sin(a) * 5), c + QPointF(std::cos(a) * 10, std::sin(a) * 10));
  }
}

namespace {
[[maybe_unused]] const bool scrollRead =
    automation::readAs<UIScrollView, UIView>({
        .className = "UIScrollView",
        // The refresh control shows only while it refreshes.
        .children =
            [](const UIScrollView& s) {
              std::vector<UIView*> out;
              for (auto& child : s.subviews())
                if (child.get() != s.refreshControl() || s.refreshControl()->isRefreshing()) out.push_back(child.get());
              return out;
            },
    }) &&
    automation::readAs<UIRefreshControl, UIView>({
        .className = "UIRefreshControl",
        .fields = [](const UIRefreshControl& r, QJsonObject& node) { node["value"] = r.isRefreshing(); },
    });
}  // namespace

}  // namespace platform::uikit
