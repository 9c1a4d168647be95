#include "platform/uikit/view.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "platform/uikit/qt_geometry_p.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/view_controller.h"
#include "platform/uikit/view_widget_p.h"
#include "platform/uikit/window.h"

namespace platform::uikit {

UIView::UIView(const CGRect& frame)
    : widget_(new ViewWidget(this, nullptr)),
      frame_(frame),
      style_(UIScreen::mainScreen().traitCollection().userInterfaceStyle) {
  widget_->hide();
  applyGeometry();
}

UIView::UIView(TopLevel, const CGRect& frame)
    : widget_(new ViewWidget(this, nullptr)),
      frame_(frame),
      style_(UIScreen::mainScreen().traitCollection().userInterfaceStyle) {
  widget_->hide();
  widget_->setGeometry(toQt(frame).toRect());
}

UIView::~UIView() {
  ViewWidget* w = widget_;
  if (w) w->detachView();
  // The widgets of subviews that go with this view are children of its
  // widget and go with it; a subview kept elsewhere keeps its widget.
  for (auto& child : subviews_) {
    child->superview_ = nullptr;
    ViewWidget* cw = child->widget_;
    if (!cw) continue;
    if (child.use_count() == 1) {
      cw->detachView();
      child->widget_ = nullptr;
    } else {
      cw->hide();
      cw->setParent(nullptr);
    }
  }
  if (w) {
    // The widget may be inside its own event handler (a tap that closes its
    // screen), so it goes on the next turn of the loop.
    w->hide();
    if (w->parentWidget()) w->setParent(nullptr);
    w->deleteLater();
  }
}

void UIView::setFrame(const CGRect& frame) {
  if (frame == frame_) return;
  bool resized = frame.size != frame_.size;
  frame_ = frame;
  applyGeometry();
  if (resized) {
    applyMask();
    setNeedsLayout();
  }
}

void UIView::setBoundsOrigin(const CGPoint& origin) {
  if (origin == boundsOrigin_) return;
  boundsOrigin_ = origin;
  placeSubviews();
}

void UIView::placeSubviews() {
  for (auto& child : subviews_) child->applyGeometry();
  setNeedsDisplay();
}

void UIView::applyGeometry() {
  if (!widget_) return;
  if (!superview_) {
    if (widget_->isWindow()) widget_->resize(int(std::lround(frame_.width())), int(std::lround(frame_.height())));
    return;
  }
  CGRect r = frame_.offsetBy(-superview_->boundsOrigin_.x, -superview_->boundsOrigin_.y);
  widget_->setGeometry(QRect(QPoint(int(std::lround(r.minX())), int(std::lround(r.minY()))),
                             QSize(int(std::lround(r.width())), int(std::lround(r.height())))));
}

void UIView::applyMask() {
  if (!widget_) return;
  if (clipsToBounds_ && cornerRadius_ > 0) {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(), toQt(frame_.size)), cornerRadius_, cornerRadius_);
    widget_->setMask(QRegion(path.toFillPolygon().toPolygon()));
  } else {
    widget_->clearMask();
  }
}

void UIView::attach(UIView* parent) {
  superview_ = parent;
  if (widget_ && parent && parent->widget_) {
    widget_->setParent(parent->widget_);
    applyGeometry();
    widget_->setVisible(!hidden_);
  }
  if (parent) parent->setNeedsLayout();
  setNeedsLayout();
  if (parent && style_ != UIScreen::mainScreen().traitCollection().userInterfaceStyle) traitCollectionDidChange();
  didMoveToSuperview();
}

void UIView::addSubview(std::shared_ptr<UIView> view) { insertSubview(std::move(view), subviews_.size()); }

void UIView::insertSubview(std::shared_ptr<UIView> view, size_t index) {
  if (!view || view.get() == this || isDescendantOf(view.get())) return;
  auto keep = view;
  if (view->superview_) view->removeFromSuperview();
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + qsizetype(index), view);
  view->attach(this);
  // Stacking order of the widgets follows the subview order.
  for (size_t i = index + 1; i < subviews_.size(); ++i)
    if (subviews_[i]->widget_) subviews_[i]->widget_->raise();
}

void UIView::removeFromSuperview() {
  UIView* parent = superview_;
  if (!parent) return;
  auto keep = shared_from_this();
  auto& list = parent->subviews_;
  list.erase(std::remove(list.begin(), list.end(), keep), list.end());
  superview_ = nullptr;
  if (widget_) {
    widget_->hide();
    widget_->setParent(nullptr);
  }
  didMoveToSuperview();
}

void UIView::bringSubviewToFront(UIView* view) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](auto& v) { return v.get() == view; });
  if (it == subviews_.end()) return;
  auto keep = *it;
  subviews_.erase(it);
  subviews_.push_back(keep);
  if (keep->widget_) keep->widget_->raise();
}

UIWindow* UIView::window() const {
  const UIView* v = this;
  while (v->superview_) v = v->superview_;
  return dynamic_cast<UIWindow*>(const_cast<UIView*>(v));
}

bool UIView::isDescendantOf(const UIView* view) const {
  for (const UIView* v = this; v; v = v->superview_)
    if (v == view) return true;
  return false;
}

void UIView::setHidden(bool hidden) {
  if (hidden == hidden_) return;
  hidden_ = hidden;
  if (widget_ && (superview_ || !hidden)) widget_->setVisible(!hidden);
  if (widget_ && hidden) widget_->hide();
}

void UIView::setAlpha(double alpha) {
  alpha_ = std::clamp(alpha, 0.0, 1.0);
  if (!widget_) return;
  if (alpha_ >= 1.0) {
    widget_->setGraphicsEffect(nullptr);
  } else {
    auto* effect = new QGraphicsOpacityEffect;
    effect->setOpacity(alpha_);
    widget_->setGraphicsEffect(effect);
  }
}

void UIView::setBackgroundColor(std::optional<UIColor> color) {
  backgroundColor_ = std::move(color);
  setNeedsDisplay();
}

void UIView::setCornerRadius(double radius) {
  cornerRadius_ = std::max(0.0, radius);
  applyMask();
  setNeedsDisplay();
}

void UIView::setClipsToBounds(bool clips) {
  clipsToBounds_ = clips;
  applyMask();
}

void UIView::setUserInteractionEnabled(bool enabled) {
  interaction_ = enabled;
  if (widget_) widget_->setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
}

UIView* UIView::viewWithTag(int tag) {
  if (tag_ == tag) return this;
  for (auto& child : subviews_)
    if (UIView* found = child->viewWithTag(tag)) return found;
  return nullptr;
}

UIEdgeInsets UIView::safeAreaInsets() const {
  UIEdgeInsets s;
  if (!superview_) {
    if (dynamic_cast<const UIWindow*>(this)) {
      // The status bar, and on the tall screens the sensor housing and the
      // home indicator.
      bool tall = frame_.height() >= 812;
      s = {tall ? 44.0 : 20.0, 0, tall ? 34.0 : 0.0, 0};
    }
  } else {
    UIEdgeInsets p = superview_->safeAreaInsets();
    CGRect in = superview_->bounds();
    s.top = std::max(0.0, p.top - (frame_.minY() - in.minY()));
    s.left = std::max(0.0, p.left - (frame_.minX() - in.minX()));
    s.bottom = std::max(0.0, p.bottom - (in.maxY() - frame_.maxY()));
    s.right = std::max(0.0, p.right - (in.maxX() - frame_.maxX()));
  }
  s.top += additionalSafeArea_.top;
  s.left += additionalSafeArea_.left;
  s.bottom += additionalSafeArea_.bottom;
  s.right += additionalSafeArea_.right;
  return s;
}

void UIView::setAdditionalSafeAreaInsets(UIEdgeInsets insets) {
  additionalSafeArea_ = insets;
  setNeedsLayout();
}

void UIView::setTranslatesAutoresizingMaskIntoConstraints(bool on) {
  if (on == autoresizing_) return;
  autoresizing_ = on;
  if (superview_) superview_->setNeedsLayout();
}

void UIView::setNeedsLayout() {
  needsLayout_ = true;
  UIView* root = this;
  while (root->superview_) root = root->superview_;
  if (root->layoutScheduled_ || !root->widget_) return;
  root->layoutScheduled_ = true;
  std::weak_ptr<UIView> alive = root->weak_from_this();
  QTimer::singleShot(0, root->widget_, [alive] {
    if (auto r = alive.lock()) r->layoutIfNeeded();
  });
}

void UIView::layoutIfNeeded() {
  layoutScheduled_ = false;
  auto keep = weak_from_this().lock();
  if (needsLayout_) {
    needsLayout_ = false;
    layoutSubviews();
  }
  auto children = subviews_;
  for (auto& child : children) child->layoutIfNeeded();
}

void UIView::layoutSubviews() {
  for (auto& child : subviews_)
    if (!child->autoresizing_ && !child->constraints_.empty()) child->layoutFromConstraints();
}

CGSize UIView::sizeThatFits(CGSize) const { return frame_.size; }

void UIView::sizeToFit() { setFrame(CGRect(frame_.origin, sizeThatFits(frame_.size))); }

void UIView::setNeedsDisplay() {
  if (widget_) widget_->update();
}

CGRect UIView::convertRect(const CGRect& rect, const UIView* view) const {
  CGRect r = rect;
  for (const UIView* v = this; v->superview_; v = v->superview_) {
    const CGPoint by = v->frame_.origin - v->boundsOrigin_;
    r = r.offsetBy(by.x, by.y);
  }
  if (!view) return r;
  const CGPoint origin = view->convertRect(CGRect(0, 0, 0, 0), nullptr).origin;
  return r.offsetBy(-origin.x, -origin.y);
}

CGPoint UIView::convertPoint(const CGPoint& point, const UIView* view) const {
  return convertRect(CGRect(point, CGSize(0, 0)), view).origin;
}

UIViewController* UIView::owningController() const {
  for (const UIView* v = this; v; v = v->superview_)
    if (v->controller_) return v->controller_;
  return nullptr;
}

bool UIView::touchesBegan(CGPoint) { return false; }
void UIView::touchesMoved(CGPoint) {}
void UIView::touchesEnded(CGPoint) {}
bool UIView::scrollWheel(double) { return false; }

void UIView::draw(QPainter&, const CGRect&) {}

void UIView::drawBackground(QPainter& painter) {
  if (!backgroundColor_) return;
  QColor c = resolve(*backgroundColor_);
  if (c.alpha() == 0) return;
  QRectF r(QPointF(), toQt(frame_.size));
  if (cornerRadius_ > 0) {
    QPainterPath path;
    path.addRoundedRect(r, cornerRadius_, cornerRadius_);
    painter.fillPath(path, c);
  } else {
    painter.fillRect(r, c);
  }
}

void UIView::traitCollectionDidChange() {
  style_ = UIScreen::mainScreen().traitCollection().userInterfaceStyle;
  setNeedsDisplay();
  for (auto& child : subviews_) child->traitCollectionDidChange();
}

// Layout from constraints: each axis is solved from the edges, size and
// centre that the view's active constraints give.
CGRect UIView::itemRect(const LayoutItem& item) const {
  const UIView* v = item.view;
  CGRect r = v->bounds();
  if (item.safeArea) r = inset(r, v->safeAreaInsets());
  if (v == this) return r;
  return v->convertRect(r, this);
}

namespace {
double edge(const CGRect& r, LayoutAttribute a) {
  switch (a) {
    case LayoutAttribute::Leading: return r.minX();
    case LayoutAttribute::Trailing: return r.maxX();
    case LayoutAttribute::Top: return r.minY();
    case LayoutAttribute::Bottom: return r.maxY();
    case LayoutAttribute::Width: return r.width();
    case LayoutAttribute::Height: return r.height();
    case LayoutAttribute::CenterX: return r.midX();
    case LayoutAttribute::CenterY: return r.midY();
  }
  return 0;
}

struct Axis {
  std::optional<double> start, end, size, center;
  // Solves position and length, keeping what is not constrained.
  std::pair<double, double> solve(double pos, double len) const {
    if (size) len = *size;
    else if (start && end) len = *end - *start;
    if (start) pos = *start;
    else if (end) pos = *end - len;
    else if (center) pos = *center - len / 2;
    return {pos, std::max(0.0, len)};
  }
};
}  // namespace

void UIView::layoutFromConstraints() {
  if (!superview_) return;
  Axis x, y;
  for (auto& c : constraints_) {
    double value = c->constant();
    if (c->second_.view) {
      auto alive = c->secondAlive_.lock();
      if (!alive) continue;
      value += edge(superview_->itemRect(c->second_), c->secondAttribute_);
    }
    switch (c->firstAttribute_) {
      case LayoutAttribute::Leading: x.start = value; break;
      case LayoutAttribute::Trailing: x.end = value; break;
      case LayoutAttribute::Width: x.size = value; break;
      case LayoutAttribute::CenterX: x.center = value; break;
      case LayoutAttribute::Top: y.start = value; break;
      case LayoutAttribute::Bottom: y.end = value; break;
      case LayoutAttribute::Height: y.size = value; break;
      case LayoutAttribute::CenterY: y.center = value; break;
    }
  }
  CGSize fit = (x.size || (x.start && x.end)) && (y.size || (y.start && y.end)) ? frame_.size
                                                                              : sizeThatFits(frame_.size);
  auto [px, w] = x.solve(frame_.minX(), fit.width);
  auto [py, h] = y.solve(frame_.minY(), fit.height);
  setFrame(CGRect(px, py, w, h));
}

NSLayoutConstraint::NSLayoutConstraint(LayoutItem f, LayoutAttribute fa, LayoutItem s, LayoutAttribute sa,
                                       double constant)
    : first_(f), firstAttribute_(fa), second_(s), secondAttribute_(sa), constant_(constant) {}

void NSLayoutConstraint::setActive(bool active) {
  if (active == active_ || !first_.view) return;
  active_ = active;
  auto& list = first_.view->constraints_;
  if (active) {
    if (second_.view) secondAlive_ = second_.view->weak_from_this();
    list.push_back(shared_from_this());
  } else {
    list.erase(std::remove(list.begin(), list.end(), shared_from_this()), list.end());
  }
  if (first_.view->superview_) first_.view->superview_->setNeedsLayout();
}

void NSLayoutConstraint::setConstant(double constant) {
  constant_ = constant;
  if (active_ && first_.view->superview_) first_.view->superview_->setNeedsLayout();
}

}  // namespace platform::uikit
