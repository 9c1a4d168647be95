#include "platform/uikit/screen.h"

#include <QColor>

namespace platform::uikit {

UIScreen& UIScreen::mainScreen() {
  static UIScreen screen;
  return screen;
}

void UIScreen::update(const DeviceDescription& description) { d_ = description; }

UITraitCollection UIScreen::traitCollection() const {
  return {d_.appearance == "dark" ? UIUserInterfaceStyle::Dark : UIUserInterfaceStyle::Light};
}

QColor resolve(const UIColor& c) { return c.resolved(UIScreen::mainScreen().traitCollection().userInterfaceStyle); }

bool isOperatingSystemAtLeastVersion(NSOperatingSystemVersion v) {
  return UIScreen::mainScreen().description().isSystemAtLeast(v.majorVersion, v.minorVersion, v.patchVersion);
}

}  // namespace platform::uikit
