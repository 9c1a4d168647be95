// UINavigationController: a stack of screens under a navigation bar with a
// back button, the top screen's title and its right bar button items.
#pragma once

#include <vector>

#include "platform/uikit/view_controller.h"

namespace platform::uikit {

class UILabel;
class UINavigationBar;

// The swipe from the left edge that goes back; a delegate is accepted and
// not consulted, as a recognizer without delegate methods behaves.
class UIGestureRecognizer {
 public:
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  void* delegate() const { return delegate_; }
  void setDelegate(void* delegate) { delegate_ = delegate; }

 private:
  bool enabled_ = true;
  void* delegate_ = nullptr;
};

class UINavigationController : public UIViewController {
 public:
  explicit UINavigationController(UIViewControllerPtr root = nullptr);
  ~UINavigationController() override;

  const std::vector<UIViewControllerPtr>& viewControllers() const { return stack_; }
  UIViewController* topViewController() const { return stack_.empty() ? nullptr : stack_.back().get(); }
  void pushViewController(UIViewControllerPtr controller, bool animated);
  UIViewControllerPtr popViewControllerAnimated(bool animated);
  void popToRootViewControllerAnimated(bool animated);
  UIGestureRecognizer& interactivePopGestureRecognizer() { return popGesture_; }
  UINavigationBar& navigationBar();
  bool prefersLargeTitles() const { return prefersLargeTitles_; }
  void setPrefersLargeTitles(bool prefers);
  bool isNavigationBarHidden() const { return barHidden_; }
  void setNavigationBarHidden(bool hidden, bool animated = false);

  // The bar shows the top screen's current items. A stack whose bar is
  // hidden inside another stack has its screens shown on the outer bar,
  // whose back button then goes back within it while it can.
  void barItemsChanged();
  // The swipe from the left edge, as the gesture recognizer would.
  bool swipeBack();

  void loadView() override;

 protected:
  std::vector<UIViewController*> shownChildren() const override;

 private:
  friend class NavigationView;
  void layoutContent();
  // The shown screen's view when it scrolls (through nested stacks).
  class UIScrollView* shownScrollView() const;
  void show(UIViewController* incoming, UIViewController* outgoing, bool animated, bool removeOutgoing);
  std::vector<UIViewControllerPtr> stack_;
  std::shared_ptr<UINavigationBar> bar_;
  UIViewPtr container_;
  UIGestureRecognizer popGesture_;
  bool prefersLargeTitles_ = false;
  bool barHidden_ = false;
};

class UINavigationBar : public UIView {
 public:
  explicit UINavigationBar(UINavigationController& owner);
  // The buttons' colour; unset: the appearance's, else the system blue.
  const std::optional<UIColor>& tintColor() const { return tint_; }
  void setTintColor(std::optional<UIColor> color);
  const std::optional<UIColor>& barTintColor() const { return barTint_; }
  void setBarTintColor(std::optional<UIColor> color);
  // A large title for the shown screen: it prefers one (or its stack does).
  bool largeTitleAllowed() const;
  // The large title shows, not yet shrunk into the bar by the content
  // scrolled under it.
  bool showsLargeTitle() const;
  // How much of the large title's band shows (0: none, the standard bar).
  void setLargeTitleBand(double band);
  // The label of the shown screen's title; null before the bar has a screen.
  const UILabel* titleLabel() const { return title_.get(); }
  double preferredHeight() const;
  void reload();
  void layoutSubviews() override;
  void draw(QPainter& painter, const CGRect& rect) override;

 private:
  // The screen whose items the bar shows, and the stack its back button pops
  // (null: nothing to go back to).
  struct Shown {
    UIViewController* screen;
    UINavigationController* backStack;
  };
  Shown shown() const;
  UIColor tint() const;
  UINavigationController& owner_;
  std::shared_ptr<class UIButton> back_;
  QString backTitle_;  // the previous screen's title, which the bar may shorten
  std::shared_ptr<class UILabel> title_;
  UIViewPtr largeArea_;  // under the standard bar, clipping the large title to the band
  double band_;
  std::vector<UIViewPtr> items_;
  UIView* left_ = nullptr;  // the back button or the left item
  std::optional<UIColor> tint_;
  std::optional<UIColor> barTint_;
};

}  // namespace platform::uikit
