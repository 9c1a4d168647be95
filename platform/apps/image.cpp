#include "platform/apps/image.h"

#include <QBuffer>
#include <QByteArray>

#include "platform/foundation/log.h"

namespace platform::apps {

std::string pngRepresentation(const Image& image) {
  if (image.isNull()) return {};
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  // The built-in PNG writer at its default compression: an icon of 120 x 120
  // pixels encodes in well under a millisecond, and this runs for every
  // blocked event.
  if (!image.qimage().save(&buffer, "PNG")) {
    platform::log("Image: PNG encoding of a ", image.pixelWidth(), "x", image.pixelHeight(),
                  " image failed");
    return {};
  }
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace platform::apps
