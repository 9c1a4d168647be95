#include "tools/device_serve/frame_tiles.h"

#include <QBuffer>
#include <QHashFunctions>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <cstring>
#include <map>
#include <unordered_map>
#include <vector>

namespace device_serve {
namespace {

// The fewest rows a move must carry to be worth saying.
constexpr int kMinMovedRows = 16;

size_t rowHash(const QImage& image, int y) {
  return qHashBits(image.constScanLine(y), static_cast<size_t>(image.width()) * 4);
}

bool sameRows(const QImage& a, const QImage& b, int x, int width, int top, int bottom) {
  const size_t bytes = static_cast<size_t>(width) * 4;
  for (int y = top; y <= bottom; ++y)
    if (std::memcmp(a.constScanLine(y) + x * 4, b.constScanLine(y) + x * 4, bytes) != 0) return false;
  return true;
}

QByteArray png(const QImage& image) {
  QByteArray out;
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG", kPngQuality);
  return out;
}

}  // namespace

std::optional<Move> findMove(const QImage& before, const QImage& now) {
  const int h = now.height();
  std::vector<size_t> old(static_cast<size_t>(h)), fresh(static_cast<size_t>(h));
  // Each row's place in `before`, where no other row looks the same: blank
  // rows and repeated lines say nothing about how far the content went.
  std::unordered_map<size_t, int> at;
  for (int y = 0; y < h; ++y) {
    old[y] = rowHash(before, y);
    auto [it, added] = at.try_emplace(old[y], y);
    if (!added) it->second = -1;
  }
  std::map<int, int> votes;  // how far, by how many changed rows say so
  for (int y = 0; y < h; ++y) {
    fresh[y] = rowHash(now, y);
    if (fresh[y] == old[y]) continue;
    if (auto it = at.find(fresh[y]); it != at.end() && it->second >= 0) ++votes[y - it->second];
  }
  std::optional<Move> best;
  int most = kMinMovedRows - 1;
  for (auto [dy, n] : votes)
    if (n > most) most = n, best = Move{0, 0, dy};
  if (!best) return std::nullopt;
  // The band: from the first to the last row that moved by that much,
  // widened over rows that did too (those that look like others).
  const int dy = best->dy;
  auto moved = [&](int y) { return y - dy >= 0 && y - dy < h && fresh[y] == old[y - dy]; };
  int top = h, bottom = -1;
  for (int y = 0; y < h; ++y)
    if (moved(y)) top = std::min(top, y), bottom = y;
  if (bottom - top + 1 < kMinMovedRows) return std::nullopt;
  return Move{top, bottom - top + 1, dy};
}

QImage applyMove(const QImage& before, const Move& m) {
  QImage out = before.copy();
  const size_t bytes = static_cast<size_t>(before.width()) * 4;
  for (int y = m.top; y < m.top + m.height; ++y)
    std::memcpy(out.scanLine(y), before.constScanLine(y - m.dy), bytes);
  return out;
}

std::vector<QRect> changedRects(const QImage& before, const QImage& now) {
  std::vector<QRect> out;
  for (int y = 0; y < now.height(); y += kTile) {
    const int bottom = std::min(now.height(), y + kTile) - 1;
    for (int x = 0; x < now.width();) {
      if (sameRows(before, now, x, std::min(kTile, now.width() - x), y, bottom)) {
        x += kTile;
        continue;
      }
      // A run of changed tiles is one picture, as tall as its changed rows.
      int end = x + kTile;
      while (end < now.width() && !sameRows(before, now, end, std::min(kTile, now.width() - end), y, bottom)) end += kTile;
      const int width = std::min(end, now.width()) - x;
      int top = y, last = bottom;
      while (sameRows(before, now, x, width, top, top)) ++top;
      while (sameRows(before, now, x, width, last, last)) --last;
      out.emplace_back(x, top, width, last - top + 1);
      x = end;
    }
  }
  return out;
}

QByteArray frameMessage(const QImage& before, const QImage& nowAny) {
  const QImage now = nowAny.format() == QImage::Format_RGB32 ? nowAny : nowAny.convertToFormat(QImage::Format_RGB32);
  const bool whole = before.isNull() || before.size() != now.size() || before.format() != now.format();
  QJsonObject head{{"width", now.width()}, {"height", now.height()}};
  std::vector<QRect> rects;
  if (whole) {
    for (int y = 0; y < now.height(); y += kTile) rects.emplace_back(0, y, now.width(), std::min(kTile, now.height() - y));
  } else if (auto move = findMove(before, now)) {
    head["move"] = QJsonArray{move->top, move->height, move->dy};
    rects = changedRects(applyMove(before, *move), now);
  } else {
    rects = changedRects(before, now);
  }
  if (rects.empty() && !head.contains("move")) return {};
  QJsonArray tiles;
  QByteArray pixels;
  for (const QRect& r : rects) {
    const QByteArray bytes = png(now.copy(r));
    tiles.append(QJsonArray{r.x(), r.y(), r.width(), r.height(), bytes.size()});
    pixels += bytes;
  }
  head["tiles"] = tiles;
  const QByteArray json = QJsonDocument(head).toJson(QJsonDocument::Compact);
  QByteArray out(4, '\0');
  qToBigEndian(static_cast<quint32>(json.size()), out.data());
  return out + json + pixels;
}

}  // namespace device_serve
