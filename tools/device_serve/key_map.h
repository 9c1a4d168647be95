// The keys a page sends, by the browser's key name ("a", "A", "Enter"), as
// the X key codes of the US layout the device's display maps keys with.
#pragma once

#include <QString>
#include <optional>

namespace device_serve {

struct KeyStroke {
  int code;    // X key code (evdev + 8)
  bool shift;  // the character needs Shift
};

// A printable ASCII character or a named key; nothing for any other.
std::optional<KeyStroke> keyFor(const QString& key);

}  // namespace device_serve
