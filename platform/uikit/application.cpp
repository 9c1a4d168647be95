#include "platform/uikit/application.h"

#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/view_controller.h"

namespace platform::uikit {

UIApplication& UIApplication::sharedApplication() {
  static UIApplication app;
  return app;
}

UIWindow* UIApplication::frontWindow() const {
  UIWindow* front = nullptr;
  for (UIWindow* w : windows_) {
    if (w->isHidden() || w->isOverlay()) continue;
    if (!front || w->windowLevel() > front->windowLevel() ||
        (w->windowLevel() == front->windowLevel() && w->shownOrder() > front->shownOrder()))
      front = w;
  }
  return front ? front : key_;
}

void UIApplication::interfaceStyleChanged() {
  UITraitCollection previous = UIScreen::mainScreen().traitCollection();
  UIScreen::mainScreen().update(readDeviceDescription(deviceRoot()));
  if (UIScreen::mainScreen().traitCollection() == previous) return;
  auto windows = windows_;
  for (UIWindow* w : windows) {
    w->traitCollectionDidChange();
    if (w == key_ && w->rootViewController()) w->rootViewController()->deliverTraitChange(previous);
  }
}

}  // namespace platform::uikit
