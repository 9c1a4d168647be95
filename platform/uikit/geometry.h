// Points, sizes and rectangles of the layer, in points (not pixels).
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <limits>

namespace platform::uikit {

using CGPoint = QPointF;
using CGSize = QSizeF;
using CGRect = QRectF;
using CGFloat = double;

inline constexpr CGFloat CGFLOAT_MAX_VALUE = std::numeric_limits<double>::max();

struct UIEdgeInsets {
  CGFloat top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const UIEdgeInsets&) const = default;
};

inline CGRect inset(const CGRect& r, const UIEdgeInsets& i) {
  return r.adjusted(i.left, i.top, -i.right, -i.bottom);
}

}  // namespace platform::uikit
