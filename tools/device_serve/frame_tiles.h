// A frame as the page receives it: only the tiles that changed since the
// frame before, each a PNG. PNG because the screen is text and flat colour,
// which it keeps exact (no smeared glyphs, a colour at a point stays the
// device's) and packs small, and Qt and every browser have it built in;
// WebP would need an image plugin more on the server for little gain on
// such pictures.
//
// A list that scrolls moves most of the screen by some rows: the frame then
// says so ("move"), the page moves what it has, and only the rows that came
// into view go as pictures, as remote-screen protocols do.
//
// One binary WebSocket message: a 4-byte big-endian length, that many bytes
// of JSON {"width", "height", "move": [top, height, dy]?, "tiles": [[x, y, w,
// h, bytes]...]} (pixels), then the tiles' PNG bytes one after another in
// that order. The move comes first: rows top..top+height-1 take the rows dy
// above them (below, for a negative dy).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <optional>
#include <vector>

namespace device_serve {

inline constexpr int kTile = 64;  // pixels each way
// Qt's PNG quality, which it maps to zlib's level 1 (90 and up store the
// pixels uncompressed): the fastest that still packs flat screens small.
inline constexpr int kPngQuality = 85;

struct Move {
  int top, height, dy;
};
// How the most rows of `before` moved up or down to make `now`, when they
// did (the same size and format both).
std::optional<Move> findMove(const QImage& before, const QImage& now);
QImage applyMove(const QImage& before, const Move& move);
// The parts of `now` that differ from `before`: a run of changed tiles of a
// row of tiles as one rectangle, as tall as the rows that changed in it.
std::vector<QRect> changedRects(const QImage& before, const QImage& now);

// The message taking a page that shows `before` to `now`; all of `now`
// when `before` is null or of another size, and empty when nothing changed.
QByteArray frameMessage(const QImage& before, const QImage& now);

}  // namespace device_serve
