// A blocked-calls log as the hook library writes one, of any size, for the
// benchmarks that read it: records "0" to N - 1, newest last, every third
// read, each with one of the installed apps' icons as a capture encodes it.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/plist.h"

namespace calmora::bench {

// (bundle identifier, base64 PNG) of each default app installed on the
// device at `root`; empty when it has none.
using AppIcons = std::vector<std::pair<std::string, std::string>>;
AppIcons installedAppIcons(const std::filesystem::path& root);

// Record `i`: "Call from Contact i" through the app of `icon`.
platform::plist::Value callRecord(int i, const AppIcons::value_type& icon);

// `records` records, the icons taken in turn; `icons` is not empty.
platform::plist::Value callsLog(int records, const AppIcons& icons);

}  // namespace calmora::bench
