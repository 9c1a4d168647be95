// Plain values that cross the runtime between the host and injected code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Text that may be absent (nil), as the phone's string properties can be.
using Text = std::optional<std::string>;

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
  bool operator==(const Color&) const = default;
};

// The icon image description: width, height, scale and a fourth value.
struct IconImageInfo {
  double width = 0, height = 0, scale = 1, continuousCornerRadius = 0;
};

struct OperatingSystemVersion {
  int major = 0, minor = 0, patch = 0;
};

}  // namespace platform
