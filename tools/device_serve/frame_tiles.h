// A frame as the page receives it: only the tiles that changed since the
// frame before, each a PNG. PNG because the screen is text and flat colour,
// which it keeps exact (no smeared glyphs, a colour at a point stays the
// device's) and packs small, and Qt and every browser have it built in;
// WebP would need an image plugin more on the server for little gain on
// such pictures.
//
// One binary WebSocket message: a 4-byte big-endian length, that many bytes
// of JSON {"width", "height", "tiles": [[x, y, w, h, bytes]...]} (pixels),
// then the tiles' PNG bytes one after another in that order.
#pragma once

#include <QByteArray>
#include <QImage>

namespace device_serve {

inline constexpr int kTile = 64;  // pixels each way

// The message taking a page that shows `before` to `now`; all of `now`
// when `before` is null or of another size, and empty when nothing changed.
QByteArray frameMessage(const QImage& before, const QImage& now);

}  // namespace device_serve
