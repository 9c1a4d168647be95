#include "platform/uikit/view_widget_p.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "platform/uikit/qt_geometry_p.h"
#include "platform/uikit/view.h"

namespace platform::uikit {

namespace {
constexpr double kLeftEdge = 20.0;

// A press at the window's left edge belongs to the nearest ancestor that
// takes edge swipes, unless this view is that ancestor.
bool leftEdgeBelongsAbove(const UIView* view, CGPoint local) {
  if (view->takesLeftEdgeSwipe()) return false;
  if (view->convertPoint(local, nullptr).x >= kLeftEdge) return false;
  for (const UIView* v = view->superview(); v; v = v->superview())
    if (v->takesLeftEdgeSwipe()) return true;
  return false;
}
}  // namespace

ViewWidget::ViewWidget(UIView* view, QWidget* parent) : QWidget(parent), view_(view) {}

ViewWidget::~ViewWidget() {
  if (view_) view_->widget_ = nullptr;
}

void ViewWidget::paintEvent(QPaintEvent* event) {
  if (!view_) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  view_->drawBackground(painter);
  const CGPoint origin = view_->bounds().origin;
  view_->draw(painter, fromQt(QRectF(event->rect())).offsetBy(origin.x, origin.y));
}

// A view may lose its last owner while it handles a touch (a text field
// ending its editing makes the page rebuild its rows): it lives until the
// handler returns.
std::shared_ptr<UIView> ViewWidget::keepView() const { return view_ ? view_->weak_from_this().lock() : nullptr; }

void ViewWidget::mousePressEvent(QMouseEvent* event) {
  if (!view_) return event->ignore();
  auto keep = keepView();
  const CGPoint p = fromQt(event->position()) + view_->bounds().origin;
  tracking_ = !leftEdgeBelongsAbove(view_, p) && view_->touchesBegan(p);
  event->setAccepted(tracking_);
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!view_) tracking_ = false;
  auto keep = keepView();
  if (tracking_) view_->touchesMoved(fromQt(event->position()) + view_->bounds().origin);
  event->setAccepted(tracking_);
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* event) {
  bool was = tracking_ && view_;
  tracking_ = false;
  event->setAccepted(was);
  auto keep = keepView();
  if (was) view_->touchesEnded(fromQt(event->position()) + view_->bounds().origin);
}

void ViewWidget::wheelEvent(QWheelEvent* event) {
  if (!view_) return event->ignore();
  auto keep = keepView();
  event->setAccepted(view_->scrollWheel(-event->angleDelta().y() / 120.0 * 40.0));
}

void ViewWidget::resizeEvent(QResizeEvent*) {}

}  // namespace platform::uikit
