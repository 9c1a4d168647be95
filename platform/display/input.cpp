#include "platform/display/input.h"

#include <QKeyEvent>
#include <QWaylandSeat>

namespace platform::display {

void sendPointer(QWaylandSeat* seat, QWaylandView* front, const Pointer& pointer) {
  seat->sendMouseMoveEvent(front, pointer.at);
  if (pointer.phase == Pointer::Phase::Down) seat->sendMousePressEvent(Qt::LeftButton);
  if (pointer.phase == Pointer::Phase::Up) seat->sendMouseReleaseEvent(Qt::LeftButton);
}

void sendKey(QWaylandSeat* seat, const KeyPress& key) {
  // A full key event, with the modifiers held.
  QKeyEvent event(key.down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_unknown, key.held, key.code, 0, 0);
  seat->sendFullKeyEvent(&event);
}

void sendWheel(QWaylandSeat* seat, QWaylandView* front, QPointF at, int delta) {
  seat->sendMouseMoveEvent(front, at);
  seat->sendMouseWheelEvent(Qt::Vertical, delta);
}

}  // namespace platform::display
