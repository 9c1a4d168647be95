#include "platform/uikit/automation/events.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

namespace platform::uikit::automation {

namespace {
void send(QWidget* window, QPointer<QWidget>& target, QEvent::Type type, CGPoint point) {
  if (!target) return;
  QPointF local = target->mapFrom(window, point);
  QPointF global = window->mapToGlobal(point);
  Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, local, point, global, Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

QPointer<QWidget> targetAt(QWidget* window, CGPoint point) {
  QWidget* child = window->childAt(point.toPoint());
  return child ? child : window;
}
}  // namespace

CGPoint centerInWindow(const UIView& view) {
  CGRect shown = view.visibleRectInWindow();
  return shown.isEmpty() ? view.convertRect(view.bounds(), nullptr).center() : shown.center();
}

void tapAt(UIWindow& window, CGPoint point) {
  window.layoutIfNeeded();
  QWidget* w = window.widget();
  auto target = targetAt(w, point);
  send(w, target, QEvent::MouseButtonPress, point);
  send(w, target, QEvent::MouseButtonRelease, point);
}

void dragFrom(UIWindow& window, CGPoint from, CGPoint to, int steps) {
  window.layoutIfNeeded();
  QWidget* w = window.widget();
  auto target = targetAt(w, from);
  send(w, target, QEvent::MouseButtonPress, from);
  for (int i = 1; i <= steps; ++i) send(w, target, QEvent::MouseMove, from + (to - from) * (double(i) / steps));
  send(w, target, QEvent::MouseButtonRelease, to);
}

}  // namespace platform::uikit::automation
