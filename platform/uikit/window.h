// UIWindow: a top-level view with a root view controller and a level.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "platform/uikit/view.h"

namespace platform::uikit {

class UIViewController;

using UIWindowLevel = double;
inline constexpr UIWindowLevel UIWindowLevelNormal = 0;
inline constexpr UIWindowLevel UIWindowLevelAlert = 2000;
inline constexpr UIWindowLevel UIWindowLevelStatusBar = 1000;

class UIWindow : public UIView {
 public:
  explicit UIWindow(const CGRect& frame = {});
  ~UIWindow() override;

  const std::shared_ptr<UIViewController>& rootViewController() const { return root_; }
  void setRootViewController(std::shared_ptr<UIViewController> controller);
  // Shows the window and makes it the application's key window.
  void makeKeyAndVisible();
  bool isKeyWindow() const;
  void setHidden(bool hidden) override;
  UIWindowLevel windowLevel() const { return level_; }
  void setWindowLevel(UIWindowLevel level) { level_ = level; }
  // Increases each time the window is shown: the front window is the one of
  // the highest level shown last.
  uint64_t shownOrder() const { return shownOrder_; }

  // An overlay lies over every window of the device, other processes'
  // too, where the display lets it (the home screen's status bar and
  // banners): drawn on a clear background, touched only within its
  // touchable areas (elsewhere the touch goes to the window below), and
  // never the front window that automation acts on. Set before it shows.
  void setOverlay(bool overlay);
  bool isOverlay() const { return overlay_; }
  void setTouchableAreas(std::vector<CGRect> areas);
  const std::vector<CGRect>& touchableAreas() const { return touchable_; }
  bool touchableAt(CGPoint point) const;
  // The name the display knows the window by: the app's bundle identifier
  // unless set.
  void setTitle(QString title) { title_ = std::move(title); }

  void layoutSubviews() override;

 private:
  void applyTouchableAreas();
  std::shared_ptr<UIViewController> root_;
  bool overlay_ = false;
  std::vector<CGRect> touchable_;
  QString title_;
  UIWindowLevel level_ = UIWindowLevelNormal;
  uint64_t shownOrder_ = 0;
};

using UIWindowPtr = std::shared_ptr<UIWindow>;

}  // namespace platform::uikit
