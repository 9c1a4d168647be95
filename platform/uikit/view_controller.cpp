#include "platform/uikit/view_controller.h"

#include <QTimer>
#include <algorithm>

#include "platform/foundation/log.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/tab_bar_controller.h"
#include "platform/uikit/view_widget_p.h"
#include "platform/uikit/window.h"

namespace platform::uikit {

UIViewController::UIViewController() = default;

UIViewController::~UIViewController() {
  for (auto& child : children_) child->parent_ = nullptr;
  if (presented_) presented_->presenting_ = nullptr;
  if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
}

const UIViewPtr& UIViewController::view() {
  if (!view_) {
    loadView();
    if (!view_) view_ = make<UIView>(UIScreen::mainScreen().bounds());
    view_->setViewController(this);
    viewDidLoad();
  }
  return view_;
}

void UIViewController::setView(UIViewPtr view) {
  if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
  view_ = std::move(view);
  if (view_) view_->setViewController(this);
}

void UIViewController::loadView() { setView(make<UIView>(UIScreen::mainScreen().bounds())); }

void UIViewController::setTitle(const QString& title) {
  title_ = title;
  navigationItem_.setTitle(title);
  if (tabBarItem_) tabBarItem_->setTitle(title);
}

const UITabBarItemPtr& UIViewController::tabBarItem() {
  // A navigation stack shows its root screen's item unless it has its own.
  if (auto* nav = dynamic_cast<UINavigationController*>(this); nav && !tabBarItem_ && !nav->viewControllers().empty())
    return nav->viewControllers().front()->tabBarItem();
  if (!tabBarItem_) tabBarItem_ = std::make_shared<UITabBarItem>(title_, nullptr, 0);
  return tabBarItem_;
}

void UIViewController::setTabBarItem(UITabBarItemPtr item) {
  tabBarItem_ = std::move(item);
  if (auto* tabs = tabBarController()) tabs->tabItemsChanged();
}

void UIViewController::addChildViewController(std::shared_ptr<UIViewController> child) {
  if (!child || child.get() == this) return;
  child->removeFromParentViewController();
  child->parent_ = this;
  children_.push_back(std::move(child));
}

void UIViewController::removeFromParentViewController() {
  if (!parent_) return;
  auto keep = shared_from_this();
  auto& list = parent_->children_;
  list.erase(std::remove(list.begin(), list.end(), keep), list.end());
  parent_ = nullptr;
}

UINavigationController* UIViewController::navigationController() const {
  for (UIViewController* c = parent_; c; c = c->parent_)
    if (auto* nav = dynamic_cast<UINavigationController*>(c)) return nav;
  return presenting_ ? presenting_->navigationController() : nullptr;
}

UITabBarController* UIViewController::tabBarController() const {
  for (UIViewController* c = parent_; c; c = c->parent_)
    if (auto* tabs = dynamic_cast<UITabBarController*>(c)) return tabs;
  return nullptr;
}

void UIViewController::navigationItemChanged() {
  if (auto* nav = navigationController()) nav->barItemsChanged();
}

std::vector<UIViewController*> UIViewController::shownChildren() const {
  std::vector<UIViewController*> out;
  for (auto& c : children_) out.push_back(c.get());
  return out;
}

void UIViewController::beginAppearanceTransition(bool appearing, bool animated) {
  if (appearing && (state_ == State::Appeared || state_ == State::Appearing)) return;
  if (!appearing && (state_ == State::Disappeared || state_ == State::Disappearing)) return;
  animatedTransition_ = animated;
  auto keep = weak_from_this().lock();
  if (appearing) {
    view();
    state_ = State::Appearing;
    viewWillAppear(animated);
  } else {
    state_ = State::Disappearing;
    viewWillDisappear(animated);
  }
  for (auto* child : shownChildren()) child->beginAppearanceTransition(appearing, animated);
}

void UIViewController::endAppearanceTransition() {
  auto keep = weak_from_this().lock();
  if (state_ == State::Appearing) {
    state_ = State::Appeared;
    for (auto* child : shownChildren()) child->endAppearanceTransition();
    viewDidAppear(animatedTransition_);
  } else if (state_ == State::Disappearing) {
    state_ = State::Disappeared;
    for (auto* child : shownChildren()) child->endAppearanceTransition();
    viewDidDisappear(animatedTransition_);
  }
}

void UIViewController::placePresentedView(UIView& window, UIView& view) {
  view.setFrame(window.bounds());
  if (!view.backgroundColor()) view.setBackgroundColor(UIColor::systemBackgroundColor());
}

void UIViewController::presentViewController(std::shared_ptr<UIViewController> controller, bool animated,
                                             std::function<void()> completion) {
  if (!controller) return;
  if (presented_) {
    log("uikit: a controller that presents already cannot present another; ignored");
    return;
  }
  UIWindow* window = view()->window();
  if (!window) {
    log("uikit: a controller whose view is not in a window cannot present; ignored");
    return;
  }
  presented_ = controller;
  controller->presenting_ = this;
  auto& shown = controller->view();
  controller->placePresentedView(*window, *shown);
  controller->beginAppearanceTransition(true, animated);
  window->addSubview(shown);
  controller->endAppearanceTransition();
  if (completion) QTimer::singleShot(0, ViewWidget::of(*shown), std::move(completion));
}

void UIViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
  if (!presented_) {
    if (presenting_) presenting_->dismissViewControllerAnimated(animated, std::move(completion));
    return;
  }
  auto gone = std::move(presented_);
  if (gone->presented_) gone->dismissViewControllerAnimated(false);
  gone->beginAppearanceTransition(false, animated);
  gone->view()->removeFromSuperview();
  gone->endAppearanceTransition();
  gone->presenting_ = nullptr;
  // The completion runs on the next turn, as after an animation.
  if (completion) QTimer::singleShot(0, ViewWidget::of(*view()), std::move(completion));
}

void UIViewController::deliverTraitChange(const UITraitCollection& previous) {
  auto keep = weak_from_this().lock();
  traitCollectionDidChange(previous);
  for (auto& child : children_) child->deliverTraitChange(previous);
  if (presented_) presented_->deliverTraitChange(previous);
}

}  // namespace platform::uikit
