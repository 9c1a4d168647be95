#include "platform/uikit/automation/events.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include "platform/uikit/automation/reading.h"
#include "platform/uikit/qt_geometry_p.h"
#include "platform/uikit/view_widget_p.h"

namespace platform::uikit::automation {

namespace {
void send(QWidget* window, QPointer<QWidget>& target, QEvent::Type type, QPointF point) {
  if (!target) return;
  QPointF local = target->mapFrom(window, point);
  QPointF global = window->mapToGlobal(point);
  Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, local, point, global, Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

QPointer<QWidget> targetAt(QWidget* window, QPointF point) {
  QWidget* child = window->childAt(point.toPoint());
  return child ? child : window;
}
}  // namespace

CGPoint centerInWindow(const UIView& view) {
  CGRect shown = visibleRectInWindow(view);
  return shown.isEmpty() ? view.convertRect(view.bounds(), nullptr).center() : shown.center();
}

void tapAt(UIWindow& window, CGPoint point) {
  window.layoutIfNeeded();
  QWidget* w = ViewWidget::of(window);
  auto target = targetAt(w, toQt(point));
  send(w, target, QEvent::MouseButtonPress, toQt(point));
  send(w, target, QEvent::MouseButtonRelease, toQt(point));
}

void dragFrom(UIWindow& window, CGPoint from, CGPoint to, int steps) {
  window.layoutIfNeeded();
  QWidget* w = ViewWidget::of(window);
  const QPointF start = toQt(from), end = toQt(to);
  auto target = targetAt(w, start);
  send(w, target, QEvent::MouseButtonPress, start);
  for (int i = 1; i <= steps; ++i) send(w, target, QEvent::MouseMove, start + (end - start) * (double(i) / steps));
  send(w, target, QEvent::MouseButtonRelease, end);
}

}  // namespace platform::uikit::automation
