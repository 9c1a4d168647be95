// UIViewController: a screen's behaviour, with the life cycle of its view,
// child controllers, bar items and presentation.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/uikit/bar_items.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/view.h"

namespace platform::uikit {

class UINavigationController;
class UITabBarController;

class UIViewController : public std::enable_shared_from_this<UIViewController> {
 public:
  UIViewController();
  virtual ~UIViewController();
  UIViewController(const UIViewController&) = delete;
  UIViewController& operator=(const UIViewController&) = delete;

  // Loads the view on first use: loadView, then viewDidLoad.
  const UIViewPtr& view();
  bool isViewLoaded() const { return view_ != nullptr; }
  void setView(UIViewPtr view);

  virtual void loadView();
  virtual void viewDidLoad() {}
  virtual void viewWillAppear(bool /*animated*/) {}
  virtual void viewDidAppear(bool /*animated*/) {}
  virtual void viewWillDisappear(bool /*animated*/) {}
  virtual void viewDidDisappear(bool /*animated*/) {}
  virtual void traitCollectionDidChange(const UITraitCollection& /*previous*/) {}
  UITraitCollection traitCollection() const { return UIScreen::mainScreen().traitCollection(); }

  const QString& title() const { return title_; }
  // Also the navigation item's title and the tab bar item's.
  void setTitle(const QString& title);
  UINavigationItem& navigationItem() { return navigationItem_; }
  const UITabBarItemPtr& tabBarItem();
  void setTabBarItem(UITabBarItemPtr item);

  UIViewController* parentViewController() const { return parent_; }
  const std::vector<std::shared_ptr<UIViewController>>& childViewControllers() const { return children_; }
  void addChildViewController(std::shared_ptr<UIViewController> child);
  void removeFromParentViewController();
  // The nearest navigation (tab bar) controller above this one.
  UINavigationController* navigationController() const;
  UITabBarController* tabBarController() const;

  void presentViewController(std::shared_ptr<UIViewController> controller, bool animated,
                             std::function<void()> completion = {});
  // Dismisses what this controller presents, or this controller if it was presented.
  void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
  UIViewController* presentedViewController() const { return presented_.get(); }
  UIViewController* presentingViewController() const { return presenting_; }

  // Appearance calls, in the order of the documents; containers forward
  // them to the children they show.
  void beginAppearanceTransition(bool appearing, bool animated = false);
  void endAppearanceTransition();
  bool isVisible() const { return state_ == State::Appeared; }

  // Called by bar items when they change, so a bar can redraw them.
  virtual void navigationItemChanged();
  // The key window's controllers hear a change of the interface style.
  void deliverTraitChange(const UITraitCollection& previous);
  // Set on the window's root controller.
  void setWindowRoot(bool root) { windowRoot_ = root; }

 protected:
  // The children that appear with this controller (all by default).
  virtual std::vector<UIViewController*> shownChildren() const;
  // How a presented controller's view is placed in the window.
  virtual void placePresentedView(UIView& window, UIView& view);

 private:
  enum class State { Disappeared, Appearing, Appeared, Disappearing };
  UIViewPtr view_;
  QString title_;
  UINavigationItem navigationItem_{this};
  UITabBarItemPtr tabBarItem_;
  UIViewController* parent_ = nullptr;
  std::vector<std::shared_ptr<UIViewController>> children_;
  std::shared_ptr<UIViewController> presented_;
  UIViewController* presenting_ = nullptr;
  State state_ = State::Disappeared;
  bool animatedTransition_ = false;
  bool windowRoot_ = false;
};

using UIViewControllerPtr = std::shared_ptr<UIViewController>;

}  // namespace platform::uikit
