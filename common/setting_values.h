// How the global settings are read, whatever type a hand-written value has:
// the hook library decides by these, and the pane shows what they give.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/foundation/plist.h"

namespace calmora::settings {

// "methodspecifier": 0 blocklist mode, 1 whitelist mode; a number or its
// decimal text, else 0.
int32_t methodSpecifier(platform::plist::Ref settings);
// "sound": the system sound of its decimal text (a number counts as its
// text); the default sound when absent or empty, 0 (nothing) when it is no
// decimal text.
uint32_t soundID(platform::plist::Ref settings);
// "xcoordinates" or "ycoordinates", in percent: a number or its decimal
// text, else the default.
double coordinate(platform::plist::Ref settings, std::string_view key);

}  // namespace calmora::settings
