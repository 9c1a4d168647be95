// A weekday's time window as the settings store it and the hook library
// reads it: "HH:mm-HH:mm". The one grammar of it, for the reader and for
// the pane that writes what a person typed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace calmora::schedule {

// Minutes since midnight of each end.
struct TimeWindow {
  int start = 0, end = 0;
  bool operator==(const TimeWindow&) const = default;
};

// Minutes since midnight of an "HH:mm" text: one or two hour digits (0-23),
// two minute digits, nothing else.
std::optional<int> minutesOf(std::string_view text);

// The window of a stored text: its first two pieces split at "-", each
// "HH:mm"; what follows a second "-" is not read.
std::optional<TimeWindow> windowOf(std::string_view text);

// The stored form, zero-padded: "07:05-22:00".
std::string textOf(const TimeWindow& window);

}  // namespace calmora::schedule
