// The finger and the keys, asked on the control socket, to the window in
// front: the seat's pointer in the window's points, its keyboard focus.
#pragma once

#include "platform/display/requests.h"

class QWaylandSeat;
class QWaylandView;

namespace platform::display {

void sendPointer(QWaylandSeat* seat, QWaylandView* front, const Pointer& pointer);
void sendKey(QWaylandSeat* seat, const KeyPress& key);
// The wheel turned by `delta` (120 a notch) with the pointer at `at`.
void sendWheel(QWaylandSeat* seat, QWaylandView* front, QPointF at, int delta);

}  // namespace platform::display
