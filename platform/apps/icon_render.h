// Home-screen icon images rendered from an app's icon PNG.
#pragma once

#include "platform/apps/app_registry.h"
#include "platform/uikit/image.h"

namespace platform::apps {

// The app's icon at width x height points and `scale` pixels per point
// (round(width * scale) x round(height * scale) pixels), corners rounded by
// cornerRadius points and transparent outside, ARGB32 premultiplied. Nil
// when the app has no readable icon or the size is unusable.
platform::uikit::UIImagePtr renderIcon(const AppInfo& app, double width, double height, double scale, double cornerRadius);

// The older systems' fixed formats: 0 is the 29 x 29 point icon, any other
// format the 60 x 60 point one; both at scale 1.
platform::uikit::UIImagePtr renderIconLegacy(const AppInfo& app, int format);

}  // namespace platform::apps
