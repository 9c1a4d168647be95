#include "platform/uikit/window.h"

#include <QGuiApplication>
#include <QRegion>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "platform/uikit/application.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/qt_geometry_p.h"
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
    ViewWidget::of(*this)->setWindowTitle(
        title_.isEmpty() ? QString::fromStdString(UIApplication::sharedApplication().bundleIdentifier()) : title_);
    // The offscreen platform has no stacking of windows to change.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) ViewWidget::of(*this)->raise();
  }
  if (!hidden) applyTouchableAreas();
  if (root_) root_->endAppearanceTransition();
}

void UIWindow::setOverlay(bool overlay) {
  overlay_ = overlay;
  if (ViewWidget* w = ViewWidget::of(*this)) w->setAttribute(Qt::WA_TranslucentBackground, overlay);
}

bool UIWindow::touchableAt(CGPoint point) const {
  return std::any_of(touchable_.begin(), touchable_.end(), [point](const CGRect& r) { return r.contains(point); });
}

void UIWindow::setTouchableAreas(std::vector<CGRect> areas) {
  touchable_ = std::move(areas);
  applyTouchableAreas();
}

// The window's input region where it has a surface of its own: the display
// hands a touch outside it to the window below. (Its painting is not
// clipped, as a widget mask would.) An empty region would mean all of it.
void UIWindow::applyTouchableAreas() {
  ViewWidget* w = ViewWidget::of(*this);
  QWindow* handle = w && overlay_ ? w->windowHandle() : nullptr;
  if (!handle) return;
  QRegion region;
  for (const CGRect& r : touchable_) region += toQt(r).toAlignedRect();
  handle->setMask(region.isEmpty() ? QRegion(-1, -1, 1, 1) : region);
}

void UIWindow::layoutSubviews() {
  UIView::layoutSubviews();
  if (root_ && root_->isViewLoaded()) root_->view()->setFrame(bounds());
}

namespace {
[[maybe_unused]] const bool windowRead = automation::readAs<UIWindow, UIView>({.className = "UIWindow"});
}  // namespace

}  // namespace platform::uikit
