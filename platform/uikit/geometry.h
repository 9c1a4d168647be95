// Points, sizes and rectangles of the layer, in points (not pixels).
#pragma once

#include <algorithm>
#include <limits>

namespace platform::uikit {

using CGFloat = double;

inline constexpr CGFloat CGFLOAT_MAX_VALUE = std::numeric_limits<double>::max();

struct CGPoint {
  CGFloat x = 0, y = 0;
  constexpr CGPoint() = default;
  constexpr CGPoint(CGFloat x, CGFloat y) : x(x), y(y) {}
  bool operator==(const CGPoint&) const = default;
  friend constexpr CGPoint operator+(CGPoint a, CGPoint b) { return {a.x + b.x, a.y + b.y}; }
  friend constexpr CGPoint operator-(CGPoint a, CGPoint b) { return {a.x - b.x, a.y - b.y}; }
};

struct CGSize {
  CGFloat width = 0, height = 0;
  constexpr CGSize() = default;
  constexpr CGSize(CGFloat width, CGFloat height) : width(width), height(height) {}
  bool operator==(const CGSize&) const = default;
  // No area: a side of zero or less.
  constexpr bool isEmpty() const { return width <= 0 || height <= 0; }
};

// A rectangle is its origin (top left) and its size.
struct CGRect {
  CGPoint origin;
  CGSize size;
  constexpr CGRect() = default;
  constexpr CGRect(CGPoint origin, CGSize size) : origin(origin), size(size) {}
  constexpr CGRect(CGFloat x, CGFloat y, CGFloat width, CGFloat height) : origin(x, y), size(width, height) {}
  bool operator==(const CGRect&) const = default;

  constexpr CGFloat width() const { return size.width; }
  constexpr CGFloat height() const { return size.height; }
  constexpr CGFloat minX() const { return origin.x; }
  constexpr CGFloat midX() const { return origin.x + size.width / 2; }
  constexpr CGFloat maxX() const { return origin.x + size.width; }
  constexpr CGFloat minY() const { return origin.y; }
  constexpr CGFloat midY() const { return origin.y + size.height / 2; }
  constexpr CGFloat maxY() const { return origin.y + size.height; }
  constexpr CGPoint center() const { return {midX(), midY()}; }
  constexpr bool isEmpty() const { return size.isEmpty(); }

  // The edges count as inside; a rectangle without width or height holds nothing.
  constexpr bool contains(CGPoint p) const {
    const Span h = xSpan(), v = ySpan();
    return h.low < h.high && v.low < v.high && p.x >= h.low && p.x <= h.high && p.y >= v.low && p.y <= v.high;
  }
  // The rectangles share some area (touching edges do not count).
  constexpr bool intersects(const CGRect& r) const { return !intersection(r).isEmpty(); }
  // The shared area; the zero rectangle where there is none.
  constexpr CGRect intersection(const CGRect& r) const {
    const Span h1 = xSpan(), h2 = r.xSpan(), v1 = ySpan(), v2 = r.ySpan();
    if (h1.low == h1.high || h2.low == h2.high || h1.low >= h2.high || h2.low >= h1.high) return {};
    if (v1.low == v1.high || v2.low == v2.high || v1.low >= v2.high || v2.low >= v1.high) return {};
    const CGFloat left = std::max(h1.low, h2.low), top = std::max(v1.low, v2.low);
    return {left, top, std::min(h1.high, h2.high) - left, std::min(v1.high, v2.high) - top};
  }
  constexpr CGRect offsetBy(CGFloat dx, CGFloat dy) const { return {origin.x + dx, origin.y + dy, size.width, size.height}; }
  // Smaller by dx on the left and right and dy at the top and bottom (larger where negative).
  constexpr CGRect insetBy(CGFloat dx, CGFloat dy) const {
    return {origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy};
  }

 private:
  // An edge pair in increasing order, as a negative size would have it.
  struct Span {
    CGFloat low, high;
  };
  constexpr Span xSpan() const { return {std::min(minX(), maxX()), std::max(minX(), maxX())}; }
  constexpr Span ySpan() const { return {std::min(minY(), maxY()), std::max(minY(), maxY())}; }
};

struct UIEdgeInsets {
  CGFloat top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const UIEdgeInsets&) const = default;
};

inline constexpr CGRect inset(const CGRect& r, const UIEdgeInsets& i) {
  return {r.origin.x + i.left, r.origin.y + i.top, r.size.width - i.left - i.right, r.size.height - i.top - i.bottom};
}

}  // namespace platform::uikit
