// What the phone's apps ask of the home screen, which alone writes the
// records: a signal on the device's center.
#pragma once

#include <string_view>

namespace platform::phoneapps {

// "bundle": the app whose delivered notifications were opened; "title":
// only those of that sender's conversation (none: all of the app's).
inline constexpr std::string_view kMarkOpenedSignal = "com.apple.springboard.notifications-opened";
inline constexpr std::string_view kBundleKey = "bundle";
inline constexpr std::string_view kTitleKey = "title";

}  // namespace platform::phoneapps
