#include "common/time_window.h"

#include <cstdio>

namespace calmora::schedule {

std::optional<int> minutesOf(std::string_view t) {
  size_t colon = t.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 2 || t.size() != colon + 3) return std::nullopt;
  auto digit = [&](size_t i) { return t[i] >= '0' && t[i] <= '9' ? t[i] - '0' : -1; };
  int hour = 0;
  for (size_t i = 0; i < colon; ++i) {
    if (digit(i) < 0) return std::nullopt;
    hour = hour * 10 + digit(i);
  }
  if (digit(colon + 1) < 0 || digit(colon + 2) < 0) return std::nullopt;
  int minute = digit(colon + 1) * 10 + digit(colon + 2);
  if (hour > 23 || minute > 59) return std::nullopt;
  return hour * 60 + minute;
}

std::optional<TimeWindow> windowOf(std::string_view text) {
  size_t dash = text.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  std::string_view rest = text.substr(dash + 1);
  auto start = minutesOf(text.substr(0, dash));
  auto end = minutesOf(rest.substr(0, rest.find('-')));
  if (!start || !end) return std::nullopt;
  return TimeWindow{*start, *end};
}

std::string textOf(const TimeWindow& w) {
  char out[16];
  std::snprintf(out, sizeof out, "%02d:%02d-%02d:%02d", w.start / 60 % 100, w.start % 60, w.end / 60 % 100, w.end % 60);
  return out;
}

}  // namespace calmora::schedule
