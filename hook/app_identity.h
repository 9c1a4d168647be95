// The name and icon of the app an event came through, as the home screen
// knows them.
#pragma once

#include "platform/foundation/host_values.h"

namespace calmora {

// The installed app's display name; nothing for an unknown identifier.
platform::Text appDisplayName(const platform::Text& bundleIdentifier);
// The app's icon rendered at 60 x 60 points at the main screen's scale, as
// base64 text of a PNG without line breaks; nothing when there is no icon.
platform::Text appIconData(const platform::Text& bundleIdentifier);

}  // namespace calmora
