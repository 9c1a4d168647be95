// UIWindow: a top-level view with a root view controller and a level.
#pragma once

#include <memory>

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

  void layoutSubviews() override;

 private:
  std::shared_ptr<UIViewController> root_;
  UIWindowLevel level_ = UIWindowLevelNormal;
  uint64_t shownOrder_ = 0;
};

using UIWindowPtr = std::shared_ptr<UIWindow>;

}  // namespace platform::uikit
