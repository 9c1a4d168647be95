// The layer's geometry as Qt's, for the code that draws and places widgets
// with Qt: not part of the layer's interface.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include "platform/uikit/geometry.h"

namespace platform::uikit {

inline QPointF toQt(CGPoint p) { return {p.x, p.y}; }
inline QSizeF toQt(CGSize s) { return {s.width, s.height}; }
inline QRectF toQt(const CGRect& r) { return {r.origin.x, r.origin.y, r.size.width, r.size.height}; }
inline CGPoint fromQt(const QPointF& p) { return {p.x(), p.y()}; }
inline CGSize fromQt(const QSizeF& s) { return {s.width(), s.height()}; }
inline CGRect fromQt(const QRectF& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace platform::uikit
