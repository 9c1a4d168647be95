#include "hook/app_identity.h"

#include "hook/host.h"
#include "platform/foundation/base64.h"

namespace calmora {

platform::Text appDisplayName(const platform::Text& bundleIdentifier) {
  return hostapi::applicationDisplayName(bundleIdentifier);
}

// FIXME: each capture renders and encodes the icon afresh (about 3 ms); a
// cache keyed by the icon file's identity would need that file from the
// home screen's registry, which the host interfaces do not give.
platform::Text appIconData(const platform::Text& bundleIdentifier) {
  runtime::Id icon = hostapi::expectedIcon(bundleIdentifier);
  // Made afresh at each capture from the current scale; the rendering is
  // its only reader, so it is kept nowhere else.
  const platform::IconImageInfo iconspecs{60.0, 60.0, hostapi::mainScreenScale(), 12.0};
  runtime::Id image = hostapi::isOperatingSystemAtLeast(13, 0, 0) ? hostapi::generateIconImageWithInfo(icon, iconspecs)
                                                              : hostapi::generateIconImage(icon, 0);
  std::string png = hostapi::pngRepresentation(image);
  if (png.empty()) return std::nullopt;
  return platform::base64Encode(png);
}

}  // namespace calmora
