// UITabBarController: screens side by side, one shown, chosen from a tab
// bar of their tab bar items (title, image, badge).
#pragma once

#include <vector>

#include "platform/uikit/view_controller.h"

namespace platform::uikit {

class UITabBar;

class UITabBarController : public UIViewController {
 public:
  UITabBarController();
  ~UITabBarController() override;
  const std::vector<UIViewControllerPtr>& viewControllers() const { return tabs_; }
  // The first becomes the selected one.
  void setViewControllers(std::vector<UIViewControllerPtr> controllers);
  int selectedIndex() const { return selected_; }
  void setSelectedIndex(int index);
  UIViewController* selectedViewController() const;
  UITabBar& tabBar();
  // A tab's item changed (badge, title, image, or the item itself).
  void tabItemsChanged();

  void loadView() override;

 protected:
  std::vector<UIViewController*> shownChildren() const override;

 private:
  friend class TabBarView;
  void layoutContent();
  std::vector<UIViewControllerPtr> tabs_;
  std::shared_ptr<UITabBar> bar_;
  UIViewPtr container_;
  int selected_ = -1;
};

class UITabBar : public UIView {
 public:
  explicit UITabBar(UITabBarController& owner);
  const std::optional<UIColor>& tintColor() const { return tint_; }
  void setTintColor(std::optional<UIColor> color);
  void reload();
  void layoutSubviews() override;
  void draw(QPainter& painter, const CGRect& rect) override;
  static constexpr double kHeight = 49;

 private:
  UITabBarController& owner_;
  std::vector<UIViewPtr> buttons_;
  std::optional<UIColor> tint_;
};

}  // namespace platform::uikit
