#include "tools/device_serve/frame_tiles.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <cstring>

namespace device_serve {
namespace {

bool same(const QImage& a, const QImage& b, const QRect& r) {
  const size_t bytes = static_cast<size_t>(r.width()) * 4;
  for (int y = r.top(); y <= r.bottom(); ++y)
    if (std::memcmp(a.constScanLine(y) + r.left() * 4, b.constScanLine(y) + r.left() * 4, bytes) != 0) return false;
  return true;
}

QByteArray png(const QImage& image) {
  QByteArray out;
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly);
  // Fast compression: the tiles go to a page on the same machine or near.
  image.save(&buffer, "PNG", 80);
  return out;
}

}  // namespace

QByteArray frameMessage(const QImage& before, const QImage& nowAny) {
  const QImage now = nowAny.format() == QImage::Format_RGB32 ? nowAny : nowAny.convertToFormat(QImage::Format_RGB32);
  const bool whole = before.isNull() || before.size() != now.size() || before.format() != now.format();
  QJsonArray tiles;
  QByteArray pixels;
  for (int y = 0; y < now.height(); y += kTile) {
    for (int x = 0; x < now.width(); x += kTile) {
      const QRect r = QRect(x, y, kTile, kTile).intersected(now.rect());
      if (!whole && same(before, now, r)) continue;
      const QByteArray bytes = png(now.copy(r));
      tiles.append(QJsonArray{r.x(), r.y(), r.width(), r.height(), bytes.size()});
      pixels += bytes;
    }
  }
  if (tiles.isEmpty()) return {};
  const QByteArray json =
      QJsonDocument(QJsonObject{{"width", now.width()}, {"height", now.height()}, {"tiles", tiles}})
          .toJson(QJsonDocument::Compact);
  QByteArray out(4, '\0');
  qToBigEndian(static_cast<quint32>(json.size()), out.data());
  return out + json + pixels;
}

}  // namespace device_serve
