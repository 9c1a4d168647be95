#include "platform/uikit/tab_bar_controller.h"

#include <QJsonArray>
#include <QPainter>
#include <QPainterPath>

#include "platform/uikit/automation/reading.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/qt_geometry_p.h"

namespace platform::uikit {

namespace {
// One tab of the bar: the item's image over its title, a badge at the top right.
class TabBarButton : public UIControl {
 public:
  TabBarButton(UITabBarItemPtr item, bool selected, UIColor tint, std::function<void()> select)
      : item_(std::move(item)), selected_(selected), tint_(tint) {
    addTarget(std::move(select), UIControlEvents::TouchUpInside);
  }
  void draw(QPainter& painter, const CGRect&) override {
    QColor color = resolve(selected_ ? tint_ : UIColor::systemGrayColor());
    double w = frame().width();
    if (auto& image = item_->image()) {
      CGSize s = image->size();
      painter.drawImage(QRectF(w / 2 - s.width / 2, 5, s.width, s.height), templateImage(image->pixels(), color));
    }
    painter.setPen(color);
    painter.setFont(UIFont::systemFontOfSize(10).qfont());
    painter.drawText(QRectF(0, 33, w, 14), Qt::AlignCenter, item_->title());
    if (auto& badge = item_->badgeValue()) {
      QFontMetricsF m(UIFont::systemFontOfSize(13).qfont());
      double bw = std::max(18.0, m.horizontalAdvance(*badge) + 10);
      QRectF r(w / 2 + 6, 2, bw, 18);
      QPainterPath path;
      path.addRoundedRect(r, 9, 9);
      painter.fillPath(path, resolve(UIColor::systemRedColor()));
      painter.setPen(Qt::white);
      painter.setFont(UIFont::systemFontOfSize(13).qfont());
      painter.drawText(r, Qt::AlignCenter, *badge);
    }
  }
  const UITabBarItem& item() const { return *item_; }
  void addFields(QJsonObject& node) const {
    node["title"] = item_->title();
    node["text"] = item_->title();
    node["tag"] = item_->tag();
    node["value"] = selected_;
    if (item_->badgeValue()) node["badge"] = *item_->badgeValue();
    if (auto& image = item_->image()) node["image"] = QJsonArray{image->size().width, image->size().height};
  }

 private:
  UITabBarItemPtr item_;
  bool selected_;
  UIColor tint_;
};

}  // namespace

class TabBarView : public UIView {
 public:
  explicit TabBarView(UITabBarController& owner) : UIView(UIScreen::mainScreen().bounds()), owner_(owner) {}
  void layoutSubviews() override {
    owner_.layoutContent();
    UIView::layoutSubviews();
  }

 private:
  UITabBarController& owner_;
};

namespace {
[[maybe_unused]] const bool tabBarRead =
    automation::readAs<TabBarButton, UIControl>({
        .className = "UITabBarButton",
        .fields = [](const TabBarButton& b, QJsonObject& node) { b.addFields(node); },
        .text = [](const TabBarButton& b) { return b.item().title(); },
    }) &&
    automation::readAs<TabBarView, UIView>({.className = "UILayoutContainerView"}) &&
    automation::readAs<UITabBar, UIView>({.className = "UITabBar"});
}  // namespace

UITabBarController::UITabBarController() = default;
UITabBarController::~UITabBarController() {
  for (auto& tab : tabs_)
    if (auto& item = tab->tabBarItem()) item->onChange_ = nullptr;
}

UITabBar& UITabBarController::tabBar() {
  view();
  return *bar_;
}

void UITabBarController::loadView() {
  auto root = make<TabBarView>(*this);
  container_ = make<UIView>();
  bar_ = make<UITabBar>(*this);
  root->addSubview(container_);
  root->addSubview(bar_);
  setView(root);
  if (auto* shown = selectedViewController()) container_->addSubview(shown->view());
  bar_->reload();
}

UIViewController* UITabBarController::selectedViewController() const {
  return selected_ >= 0 && selected_ < int(tabs_.size()) ? tabs_[size_t(selected_)].get() : nullptr;
}

std::vector<UIViewController*> UITabBarController::shownChildren() const {
  if (auto* shown = selectedViewController()) return {shown};
  return {};
}

void UITabBarController::setViewControllers(std::vector<UIViewControllerPtr> controllers) {
  bool live = isVisible();
  UIViewController* old = selectedViewController();
  if (live && old) old->beginAppearanceTransition(false);
  if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
  if (live && old) old->endAppearanceTransition();
  for (auto& tab : tabs_) tab->removeFromParentViewController();
  tabs_.clear();
  for (auto& c : controllers)
    if (c) {
      addChildViewController(c);
      tabs_.push_back(c);
    }
  selected_ = tabs_.empty() ? -1 : 0;
  UIViewController* shown = selectedViewController();
  if (live && shown) shown->beginAppearanceTransition(true);
  if (isViewLoaded() && shown) container_->addSubview(shown->view());
  if (live && shown) shown->endAppearanceTransition();
  tabItemsChanged();
}

void UITabBarController::setSelectedIndex(int index) {
  if (index < 0 || index >= int(tabs_.size()) || index == selected_) return;
  bool live = isVisible();
  UIViewController* old = selectedViewController();
  UIViewController* shown = tabs_[size_t(index)].get();
  if (isViewLoaded()) shown->view();
  if (live && old) old->beginAppearanceTransition(false);
  if (live) shown->beginAppearanceTransition(true);
  selected_ = index;
  if (isViewLoaded()) {
    if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
    container_->addSubview(shown->view());
  }
  if (live && old) old->endAppearanceTransition();
  if (live) shown->endAppearanceTransition();
  tabItemsChanged();
}

void UITabBarController::tabItemsChanged() {
  if (!isViewLoaded()) return;
  bar_->reload();
  view()->setNeedsLayout();
}

void UITabBarController::layoutContent() {
  CGRect b = view()->bounds();
  double height = UITabBar::kHeight + view()->safeAreaInsets().bottom;
  bar_->setFrame(CGRect(0, b.height() - height, b.width(), height));
  container_->setFrame(CGRect(0, 0, b.width(), std::max(0.0, b.height() - height)));
  if (auto* shown = selectedViewController())
    if (shown->isViewLoaded()) shown->view()->setFrame(container_->bounds());
}

UITabBar::UITabBar(UITabBarController& owner) : owner_(owner) {}

void UITabBar::setTintColor(std::optional<UIColor> color) {
  tint_ = std::move(color);
  reload();
}

void UITabBar::reload() {
  for (auto& b : buttons_) b->removeFromSuperview();
  buttons_.clear();
  auto& tabs = owner_.viewControllers();
  UITabBarController* owner = &owner_;
  for (size_t i = 0; i < tabs.size(); ++i) {
    auto& item = tabs[i]->tabBarItem();
    item->onChange_ = [owner] { owner->tabItemsChanged(); };
    buttons_.push_back(make<TabBarButton>(item, int(i) == owner_.selectedIndex(),
                                          tint_.value_or(UIColor::systemBlueColor()),
                                          [owner, i] { owner->setSelectedIndex(int(i)); }));
    addSubview(buttons_.back());
  }
  setNeedsLayout();
}

void UITabBar::layoutSubviews() {
  if (buttons_.empty()) return;
  double w = frame().width() / double(buttons_.size());
  for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->setFrame(CGRect(i * w, 0, w, kHeight));
  UIView::layoutSubviews();
}

void UITabBar::draw(QPainter& painter, const CGRect&) {
  bool dark = UIScreen::mainScreen().traitCollection().userInterfaceStyle == UIUserInterfaceStyle::Dark;
  painter.fillRect(QRectF(QPointF(), toQt(frame().size)), dark ? QColor(22, 22, 22) : QColor(247, 247, 247));
  painter.fillRect(QRectF(0, 0, frame().width(), 0.5), resolve(UIColor::separatorColor()));
}

}  // namespace platform::uikit
