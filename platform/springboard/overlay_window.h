// The home screen's views that lie over every app as over its own icons:
// the status-bar window (the status bar and what injected code adds to it)
// and the banner. A window of its own on a clear background, which the
// display stacks over whichever window is in front. It takes touches only
// on the status bar's strip, where a drag down shows the notification
// list, and on the banner while it shows; elsewhere they go to the window
// below.
#pragma once

#include <functional>
#include <optional>

#include "platform/uikit/window.h"

namespace platform::springboard {

class SBOverlayWindow : public uikit::UIWindow {
 public:
  static constexpr double kStripHeight = 20;
  SBOverlayWindow(const uikit::CGRect& screen, std::function<void()> pulledDown);

  // The banner's frame while it shows, nothing once it is put away.
  void setBanner(std::optional<uikit::CGRect> banner);

  bool touchesBegan(uikit::CGPoint point) override;
  void touchesEnded(uikit::CGPoint point) override;

 private:
  std::function<void()> pulledDown_;
  double pullFrom_ = -1;
};

}  // namespace platform::springboard
