#include "tools/device_serve/key_map.h"

#include <string_view>

namespace device_serve {
namespace {

constexpr int kX = 8;  // X key codes are the evdev ones plus 8

// The US layout's rows: the characters without Shift, then with, from the
// row's first evdev code.
struct Row {
  std::string_view plain, shifted;
  int first;
};
constexpr Row kRows[] = {
    {"1234567890-=", "!@#$%^&*()_+", 2},
    {"qwertyuiop[]", "QWERTYUIOP{}", 16},
    {"asdfghjkl;'`", "ASDFGHJKL:\"~", 30},
    {"\\zxcvbnm,./", "|ZXCVBNM<>?", 43},
};

struct Named {
  std::string_view name;
  int code;
};
constexpr Named kNamed[] = {
    {"Escape", 1},     {"Backspace", 14}, {"Tab", 15},    {"Enter", 28},     {" ", 57},
    {"Home", 102},     {"ArrowUp", 103},  {"ArrowLeft", 105}, {"ArrowRight", 106}, {"End", 107},
    {"ArrowDown", 108}, {"Delete", 111},
};

}  // namespace

std::optional<KeyStroke> keyFor(const QString& key) {
  const std::string text = key.toStdString();
  for (const Named& n : kNamed)
    if (n.name == text) return KeyStroke{n.code + kX, false};
  if (text.size() != 1) return std::nullopt;
  for (const Row& row : kRows) {
    if (auto at = row.plain.find(text[0]); at != std::string_view::npos)
      return KeyStroke{row.first + static_cast<int>(at) + kX, false};
    if (auto at = row.shifted.find(text[0]); at != std::string_view::npos)
      return KeyStroke{row.first + static_cast<int>(at) + kX, true};
  }
  return std::nullopt;
}

}  // namespace device_serve
