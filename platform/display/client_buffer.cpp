#include "platform/display/client_buffer.h"

#include <wayland-server-core.h>

#include <QWaylandBufferRef>

namespace platform::display {

QImage copyOf(const QWaylandBufferRef& buffer, QSize limit) {
  if (!buffer.hasBuffer() || !buffer.isSharedMemory()) return {};
  wl_shm_buffer* shm = wl_shm_buffer_get(buffer.wl_buffer());
  if (!shm) return {};
  wl_shm_buffer_begin_access(shm);
  const QImage shared = buffer.image();  // the client's memory, not copied
  QImage image = shared.copy(QRect(QPoint(0, 0), shared.size().boundedTo(limit)));
  wl_shm_buffer_end_access(shm);
  if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32 &&
      image.format() != QImage::Format_ARGB32)
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return image;
}

}  // namespace platform::display
