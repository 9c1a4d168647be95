#include "platform/uikit/window.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>

#include "platform/uikit/application.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/view_controller.h"
#include "platform/uikit/view_widget_p.h"

namespace platform::uikit {

UIWindow::UIWindow(const CGRect& frame) : UIView(TopLevel{}, frame) {
  UIView::setHidden(true);
  UIApplication::sharedApplication().windows_.push_back(this);
}

UIWindow::~UIWindow() {
  auto& app = UIApplication::sharedApplication();
  app.windows_.erase(std::remove(app.windows_.begin(), app.windows_.end(), this), app.windows_.end());
  if (app.key_ == this) app.key_ = nullptr;
  if (root_) root_->setWindowRoot(false);
}

void UIWindow::setRootViewController(std::shared_ptr<UIViewController> controller) {
  if (root_ == controller) return;
  if (root_) {
    if (!isHidden()) root_->beginAppearanceTransition(false);
    root_->view()->removeFromSuperview();
    if (!isHidden()) root_->endAppearanceTransition();
    root_->setWindowRoot(false);
  }
  root_ = std::move(controller);
  if (!root_) return;
  root_->setWindowRoot(true);
  auto view = root_->view();
  view->setFrame(bounds());
  if (!isHidden()) root_->beginAppearanceTransition(true);
  addSubview(view);
  if (!isHidden()) root_->endAppearanceTransition();
}

void UIWindow::makeKeyAndVisible() {
  UIApplication::sharedApplication().key_ = this;
  setHidden(false);
}

bool UIWindow::isKeyWindow() const { return UIApplication::sharedApplication().key_ == this; }

void UIWindow::setHidden(bool hidden) {
  bool was = isHidden();
  if (was == hidden) return;
  if (!hidden) {
    shownOrder_ = ++UIApplication::sharedApplication().shownCount_;
  }
  if (root_) root_->beginAppearanceTransition(!hidden);
  // Laid out before it shows: the widgets are placed while nothing is drawn.
  if (!hidden) layoutIfNeeded();
  UIView::setHidden(hidden);
  if (!hidden) {
    ViewWidget::of(*this)->setWindowTitle(QString::fromStdString(UIApplication::sharedApplication().bundleIdentifier()));
    // The offscreen platform has no stacking of windows to change.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) ViewWidget::of(*this)->raise();
  }
  if (root_) root_->endAppearanceTransition();
}

void UIWindow::layoutSubviews() {
  UIView::layoutSubviews();
  if (root_ && root_->isViewLoaded()) root_->view()->setFrame(bounds());
}

namespace {
[[maybe_unused]] const bool windowRead = automation::readAs<UIWindow, UIView>({.className = "UIWindow"});
}  // namespace

}  // namespace platform::uikit
