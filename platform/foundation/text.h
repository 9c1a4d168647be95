// Small text helpers every layer shares.
#pragma once

#include <string_view>

namespace platform {

// ASCII whitespace: space, tab, line feed, carriage return, form feed,
// vertical tab.
constexpr bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The text without whitespace at either end.
constexpr std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace platform
