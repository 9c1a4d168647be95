// A client's shared-memory buffer, read the way a Wayland server must: its
// memory is the client's, which may cut it short under the pool at any
// time. Read under libwayland's guard, such a fault becomes an error of that
// client (which is then dropped) instead of the end of the display.
#pragma once

#include <QImage>
#include <QSize>

class QWaylandBufferRef;

namespace platform::display {

// A copy of `buffer`, at most `limit` pixels each way, 32 bits a pixel;
// null for no shared-memory buffer.
QImage copyOf(const QWaylandBufferRef& buffer, QSize limit);

}  // namespace platform::display
