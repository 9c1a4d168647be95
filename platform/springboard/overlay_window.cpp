#include "platform/springboard/overlay_window.h"

#include "platform/display_client/display_requests.h"

namespace platform::springboard {

namespace {
constexpr double kPull = 80;  // how far a drag down goes to show the list
}

SBOverlayWindow::SBOverlayWindow(const uikit::CGRect& screen, std::function<void()> pulledDown)
    : uikit::UIWindow(screen), pulledDown_(std::move(pulledDown)) {
  setOverlay(true);
  setTitle(QString::fromLatin1(platform::display::kOverlayTitle));
  setWindowLevel(uikit::UIWindowLevelStatusBar);
  setBanner(std::nullopt);
}

void SBOverlayWindow::setBanner(std::optional<uikit::CGRect> banner) {
  std::vector<uikit::CGRect> areas{uikit::CGRect(0, 0, frame().width(), kStripHeight)};
  if (banner) areas.push_back(*banner);
  setTouchableAreas(std::move(areas));
}

// The views above (the banner) keep their own touches; what reaches the
// window is a touch on the strip.
bool SBOverlayWindow::touchesBegan(uikit::CGPoint point) {
  pullFrom_ = point.y < kStripHeight ? point.y : -1;
  return pullFrom_ >= 0;
}

void SBOverlayWindow::touchesEnded(uikit::CGPoint point) {
  if (pullFrom_ >= 0 && point.y - pullFrom_ > kPull && pulledDown_) pulledDown_();
  pullFrom_ = -1;
}

}  // namespace platform::springboard
