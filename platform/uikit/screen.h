// The main screen: its size and scale and the interface style, from the
// device's description; the process information of the device.
#pragma once

#include <string>

#include "platform/foundation/device_description.h"
#include "platform/uikit/color.h"
#include "platform/uikit/geometry.h"

namespace platform::uikit {

struct UITraitCollection {
  UIUserInterfaceStyle userInterfaceStyle = UIUserInterfaceStyle::Light;
  bool operator==(const UITraitCollection&) const = default;
};

class UIScreen {
 public:
  // The process's one screen; it reads the device's description when the
  // application starts and again when the appearance changes.
  static UIScreen& mainScreen();
  void update(const DeviceDescription& description);

  CGRect bounds() const { return CGRect(0, 0, d_.screenWidth, d_.screenHeight); }
  double scale() const { return d_.screenScale; }
  UITraitCollection traitCollection() const;
  const DeviceDescription& description() const { return d_; }

 private:
  UIScreen() = default;
  DeviceDescription d_;
};

struct NSOperatingSystemVersion {
  int majorVersion = 0, minorVersion = 0, patchVersion = 0;
};

// NSProcessInfo's version question, answered from the device's system version.
bool isOperatingSystemAtLeastVersion(NSOperatingSystemVersion version);

// The colour as views report and paint it now.
QColor resolve(const UIColor& c);
inline QString colorText(const UIColor& c) { return c.text(UIScreen::mainScreen().traitCollection().userInterfaceStyle); }

}  // namespace platform::uikit
