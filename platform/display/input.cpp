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
  // A full key event: the seat brings the client's modifiers in line with
  // the ones held before it sends the key.
  QKeyEvent event(key.down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_unknown, key.held, key.code, 0, 0);
  seat->sendFullKeyEvent(&event);
}

}  // namespace platform::display
