#include "tools/device_window/phone_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

namespace device_window {

namespace {
// The body around the screen, in points.
constexpr double kSide = 20, kTop = 80, kBottom = 90, kHomeRadius = 28;
}  // namespace

PhoneView::PhoneView(QSize screenPoints, QWidget* parent) : QWidget(parent), points_(screenPoints) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFixedSize(sizeHint());
}

QSizeF PhoneView::bodyPoints() const { return QSizeF(points_.width() + 2 * kSide, points_.height() + kTop + kBottom); }

QSize PhoneView::sizeHint() const { return (bodyPoints() * zoom_).toSize(); }

void PhoneView::setZoom(double zoom) {
  const int before = scale();
  zoom_ = zoom;
  setFixedSize(sizeHint());
  update();
  if (scale() != before && onScale) onScale(scale());
}

int PhoneView::scale() const { return zoom_ * devicePixelRatioF() > 1 ? 2 : 1; }

void PhoneView::setFrame(QImage frame) {
  frame_ = std::move(frame);
  update(screenRect().toAlignedRect());
}

void PhoneView::setNotice(const QString& notice) {
  notice_ = notice;
  update();
}

QRectF PhoneView::screenRect() const {
  return QRectF(kSide * zoom_, kTop * zoom_, points_.width() * zoom_, points_.height() * zoom_);
}

QRectF PhoneView::homeRect() const {
  const double r = kHomeRadius * zoom_;
  const QPointF centre(width() / 2.0, screenRect().bottom() + kBottom * zoom_ / 2);
  return QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
}

QPointF PhoneView::toScreen(QPointF p) const { return (p - screenRect().topLeft()) / zoom_; }

void PhoneView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), palette().window());
  QPainterPath body;
  body.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 48 * zoom_, 48 * zoom_);
  p.fillPath(body, QColor(0x1c, 0x1c, 0x1e));
  p.setPen(QPen(QColor(0x48, 0x48, 0x4a), 2));
  p.drawPath(body);
  // The speaker.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x3a, 0x3a, 0x3c));
  p.drawRoundedRect(QRectF(width() / 2.0 - 30 * zoom_, 38 * zoom_, 60 * zoom_, 6 * zoom_), 3 * zoom_, 3 * zoom_);
  const QRectF screen = screenRect();
  p.fillRect(screen, Qt::black);
  if (!frame_.isNull()) {
    // Every window fills the device's screen, so the frame's width tells
    // its pixels a point; at the same pixels a point as the desktop's it is
    // drawn 1:1, sharp, and smoothed otherwise (a frame of the old scale,
    // just after the zoom changed, or a zoom the display has no scale for).
    const double perPoint = std::max(1, qRound(double(frame_.width()) / points_.width()));
    p.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ * devicePixelRatioF() != perPoint);
    p.drawImage(QRectF(screen.topLeft(), QSizeF(frame_.size()) / perPoint * zoom_), frame_);
  }
  if (!notice_.isEmpty()) {
    p.setPen(Qt::white);
    p.drawText(screen.adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap, notice_);
  }
  const QRectF home = homeRect();
  p.setBrush(QColor(0x10, 0x10, 0x10));
  p.setPen(QPen(QColor(0x5a, 0x5a, 0x5e), 2 * zoom_));
  p.drawEllipse(home);
  const double s = home.width() * 0.32;
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x8e, 0x8e, 0x93), 1.5 * zoom_));
  p.drawRoundedRect(QRectF(home.center().x() - s / 2, home.center().y() - s / 2, s, s), s / 4, s / 4);
}

void PhoneView::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const QPointF at = e->position();
  if (screenRect().contains(at)) {
    fingerDown_ = true;
    if (onFinger) onFinger(toScreen(at), "down");
  } else if (QPainterPath circle; circle.addEllipse(homeRect()), circle.contains(at)) {
    if (onHome) onHome();
  }
}

void PhoneView::mouseMoveEvent(QMouseEvent* e) {
  if (!fingerDown_) return;
  // Off the screen's edge the finger stays at the edge, as on glass.
  QPointF at = toScreen(e->position());
  at.setX(std::clamp(at.x(), 0.0, points_.width() - 1.0));
  at.setY(std::clamp(at.y(), 0.0, points_.height() - 1.0));
  if (onFinger) onFinger(at, "move");
}

void PhoneView::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !fingerDown_) return;
  fingerDown_ = false;
  QPointF at = toScreen(e->position());
  at.setX(std::clamp(at.x(), 0.0, points_.width() - 1.0));
  at.setY(std::clamp(at.y(), 0.0, points_.height() - 1.0));
  if (onFinger) onFinger(at, "up");
}

void PhoneView::wheelEvent(QWheelEvent* e) {
  if (!screenRect().contains(e->position()) || !onWheel) return;
  // The display's wheel turns in twelfths of a notch: a touchpad's smaller
  // steps add up until they make one.
  wheelLeft_ += e->angleDelta().y();
  const int delta = wheelLeft_ / 12 * 12;
  wheelLeft_ -= delta;
  if (delta != 0) onWheel(toScreen(e->position()), delta);
}

// The desktop's key code is the X one, which the display's key map shares.
void PhoneView::keyPressEvent(QKeyEvent* e) {
  if (onKey && e->nativeScanCode()) onKey(static_cast<int>(e->nativeScanCode()), true, e->modifiers());
}

void PhoneView::keyReleaseEvent(QKeyEvent* e) {
  if (onKey && e->nativeScanCode() && !e->isAutoRepeat())
    onKey(static_cast<int>(e->nativeScanCode()), false, e->modifiers());
}

}  // namespace device_window
