#include "platform/uikit/screen.h"

namespace platform::uikit {

UIScreen& UIScreen::mainScreen() {
  static UIScreen screen;
  return screen;
}

void UIScreen::update(const DeviceDescription& description) { d_ = description; }

UITraitCollection UIScreen::traitCollection() const {
  return {d_.appearance == "dark" ? UIUserInterfaceStyle::Dark : UIUserInterfaceStyle::Light};
}

bool isOperatingSystemAtLeastVersion(NSOperatingSystemVersion v) {
  return UIScreen::mainScreen().description().isSystemAtLeast(v.majorVersion, v.minorVersion, v.patchVersion);
}

}  // namespace platform::uikit
