#include "platform/uikit/view_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "platform/uikit/qt_geometry.h"
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

void ViewWidget::mousePressEvent(QMouseEvent* event) {
  if (!view_) return event->ignore();
  const CGPoint p = fromQt(event->position()) + view_->bounds().origin;
  tracking_ = !leftEdgeBelongsAbove(view_, p) && view_->touchesBegan(p);
  event->setAccepted(tracking_);
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!view_) tracking_ = false;
  if (tracking_) view_->touchesMoved(fromQt(event->position()) + view_->bounds().origin);
  event->setAccepted(tracking_);
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* event) {
  bool was = tracking_ && view_;
  tracking_ = false;
  event->setAccepted(was);
  // Last: the view may go away while it handles the end of the touch.
  if (was) view_->touchesEnded(fromQt(event->position()) + view_->bounds().origin);
}

void ViewWidget::wheelEvent(QWheelEvent* event) {
  if (!view_) return event->ignore();
  event->setAccepted(view_->scrollWheel(-event->angleDelta().y() / 120.0 * 40.0));
}

void ViewWidget::resizeEvent(QResizeEvent*) {}

}  // namespace platform::uikit
