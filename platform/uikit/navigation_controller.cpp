#include "platform/uikit/navigation_controller.h"

#include <QJsonArray>
#include <QPainter>

#include "platform/uikit/appearance.h"
#include "platform/uikit/automation/reading.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/label.h"
#include "platform/uikit/qt_geometry_p.h"
#include "platform/uikit/scroll_view.h"

namespace platform::uikit {

namespace {
constexpr double kBarHeight = 44;
constexpr double kLargeTitleHeight = 52;
// How far a swipe from the left edge must travel to go back.
constexpr double kSwipeDistance = 60;
constexpr double kEdgeWidth = 20;
// A large title shrinks to fit the bar's width, to no less than the
// standard title's size.
constexpr double kLargeTitleMinimumScale = 0.5;

// A stack inside another stack with its own bar hidden: its screens show on
// the bar of the stack around it.
UINavigationController* nestedStack(UIViewController* controller) {
  auto* nav = dynamic_cast<UINavigationController*>(controller);
  return nav && nav->isNavigationBarHidden() && nav->topViewController() ? nav : nullptr;
}

// A bar button item as the bar shows it.
class BarItemButton : public UIButton {
 public:
  explicit BarItemButton(UIBarButtonItemPtr item) : UIButton(UIButtonType::System), item_(std::move(item)) {
    if (item_->image()) setImage(item_->image(), UIControlState::Normal);
    else setTitle(item_->title(), UIControlState::Normal);
    setEnabled(item_->isEnabled());
    addTarget([this] { item_->trigger(); }, UIControlEvents::TouchUpInside);
  }
  CGSize sizeThatFits(CGSize size) const override {
    if (item_->image()) return CGSize(std::max(30.0, item_->image()->size().width + 10), kBarHeight);
    return CGSize(UIButton::sizeThatFits(size).width, kBarHeight);
  }
  void draw(QPainter& painter, const CGRect& rect) override {
    if (!item_->image()) return UIButton::draw(painter, rect);
    QColor color = resolve(currentTitleColor());
    if (isHighlighted()) color.setAlphaF(0.3f);
    CGSize s = item_->image()->size();
    QRectF r(QPointF(), toQt(frame().size));
    painter.drawImage(QRectF(r.center() - QPointF(s.width / 2, s.height / 2), toQt(s)),
                      templateImage(item_->image()->pixels(), color));
  }
  const UIBarButtonItem& item() const { return *item_; }

 private:
  UIBarButtonItemPtr item_;
};

[[maybe_unused]] const bool barItemRead = automation::readAs<BarItemButton, UIButton>({
    .className = "UIBarButtonItem",
    .fields =
        [](const BarItemButton& b, QJsonObject& node) {
          node["title"] = b.item().title();
          if (auto& image = b.item().image()) node["image"] = QJsonArray{image->size().width, image->size().height};
        },
    .text = [](const BarItemButton& b) { return b.item().title(); },
});
}  // namespace

// The navigation controller's root view: it lays out bar and content and
// takes the swipe from the left edge.
class NavigationView : public UIView {
 public:
  explicit NavigationView(UINavigationController& owner) : UIView(UIScreen::mainScreen().bounds()), owner_(owner) {}
  void layoutSubviews() override {
    owner_.layoutContent();
    UIView::layoutSubviews();
  }
  bool takesLeftEdgeSwipe() const override {
    return owner_.stack_.size() > 1 && owner_.popGesture_.isEnabled();
  }
  bool touchesBegan(CGPoint point) override {
    start_ = convertPoint(point, nullptr);
    return takesLeftEdgeSwipe() && start_.x < kEdgeWidth;
  }
  void touchesEnded(CGPoint point) override {
    if (convertPoint(point, nullptr).x - start_.x >= kSwipeDistance) owner_.swipeBack();
  }

 private:
  UINavigationController& owner_;
  CGPoint start_;
};

namespace {
[[maybe_unused]] const bool navigationRead =
    automation::readAs<NavigationView, UIView>({.className = "UILayoutContainerView"}) &&
    automation::readAs<UINavigationBar, UIView>({
        .className = "UINavigationBar",
        .fields =
            [](const UINavigationBar& bar, QJsonObject& node) {
              if (bar.titleLabel()) node["title"] = bar.titleLabel()->text();
              node["largeTitle"] = bar.showsLargeTitle();
            },
    });
}  // namespace

UINavigationController::UINavigationController(UIViewControllerPtr root) {
  if (root) {
    addChildViewController(root);
    stack_.push_back(std::move(root));
  }
}

UINavigationController::~UINavigationController() = default;

UINavigationBar& UINavigationController::navigationBar() {
  view();
  return *bar_;
}

void UINavigationController::loadView() {
  auto root = make<NavigationView>(*this);
  container_ = make<UIView>();
  bar_ = make<UINavigationBar>(*this);
  root->addSubview(container_);
  root->addSubview(bar_);
  setView(root);
  if (auto* top = topViewController()) container_->addSubview(top->view());
  bar_->reload();
}

std::vector<UIViewController*> UINavigationController::shownChildren() const {
  if (auto* top = topViewController()) return {top};
  return {};
}

void UINavigationController::setNavigationBarHidden(bool hidden, bool) {
  barHidden_ = hidden;
  if (isViewLoaded()) view()->setNeedsLayout();
}

UIScrollView* UINavigationController::shownScrollView() const {
  UIViewController* screen = topViewController();
  while (auto* inner = nestedStack(screen)) screen = inner->topViewController();
  return screen && screen->isViewLoaded() ? dynamic_cast<UIScrollView*>(screen->view().get()) : nullptr;
}

void UINavigationController::layoutContent() {
  if (!isViewLoaded()) return;
  CGRect b = view()->bounds();
  double top = view()->safeAreaInsets().top;
  // Over a screen that scrolls, the large title's band lies over the top of
  // the content, which starts under it: as the content scrolls up the band
  // shrinks with it into the standard bar, and comes back at the top.
  UIScrollView* scroll = barHidden_ || !bar_->largeTitleAllowed() ? nullptr : shownScrollView();
  if (scroll) {
    scroll->setTopContentInset(kLargeTitleHeight);
    scroll->setOffsetObserver([weak = weak_from_this()] {
      if (auto self = weak.lock()) static_cast<UINavigationController&>(*self).layoutContent();
    });
  }
  bar_->setLargeTitleBand(scroll ? std::clamp(-scroll->contentOffset().y, 0.0, kLargeTitleHeight) : kLargeTitleHeight);
  double barHeight = barHidden_ ? 0 : top + bar_->preferredHeight();
  double contentTop = scroll ? top + kBarHeight : barHeight;
  bar_->setHidden(barHidden_);
  bar_->setFrame(CGRect(0, 0, b.width(), barHeight));
  container_->setFrame(CGRect(0, contentTop, b.width(), std::max(0.0, b.height() - contentTop)));
  if (auto* shown = topViewController())
    if (shown->isViewLoaded()) shown->view()->setFrame(container_->bounds());
}

void UINavigationController::show(UIViewController* incoming, UIViewController* outgoing, bool animated,
                                  bool) {
  bool live = isVisible();
  if (incoming && isViewLoaded()) incoming->view();
  if (live && outgoing) outgoing->beginAppearanceTransition(false, animated);
  if (live && incoming) incoming->beginAppearanceTransition(true, animated);
  if (isViewLoaded()) {
    if (outgoing && outgoing->isViewLoaded()) outgoing->view()->removeFromSuperview();
    if (incoming) {
      incoming->view()->setFrame(container_->bounds());
      container_->addSubview(incoming->view());
    }
  }
  barItemsChanged();
  if (live && outgoing) outgoing->endAppearanceTransition();
  if (live && incoming) incoming->endAppearanceTransition();
}

void UINavigationController::pushViewController(UIViewControllerPtr controller, bool animated) {
  if (!controller || std::find(stack_.begin(), stack_.end(), controller) != stack_.end()) return;
  UIViewController* outgoing = topViewController();
  addChildViewController(controller);
  stack_.push_back(controller);
  show(controller.get(), outgoing, animated, false);
}

UIViewControllerPtr UINavigationController::popViewControllerAnimated(bool animated) {
  if (stack_.size() < 2) return nullptr;
  UIViewControllerPtr outgoing = stack_.back();
  stack_.pop_back();
  show(topViewController(), outgoing.get(), animated, true);
  outgoing->removeFromParentViewController();
  return outgoing;
}

void UINavigationController::popToRootViewControllerAnimated(bool animated) {
  if (stack_.size() < 2) return;
  UIViewControllerPtr outgoing = stack_.back();
  std::vector<UIViewControllerPtr> gone(stack_.begin() + 1, stack_.end());
  stack_.resize(1);
  show(topViewController(), outgoing.get(), animated, true);
  for (auto& c : gone) c->removeFromParentViewController();
}

bool UINavigationController::swipeBack() {
  if (stack_.size() < 2 || !popGesture_.isEnabled()) return false;
  popViewControllerAnimated(true);
  return true;
}

void UINavigationController::setPrefersLargeTitles(bool prefers) {
  if (prefers == prefersLargeTitles_) return;
  prefersLargeTitles_ = prefers;
  barItemsChanged();
}

void UINavigationController::barItemsChanged() {
  if (isViewLoaded()) {
    bar_->reload();
    view()->setNeedsLayout();
  }
  if (barHidden_)
    if (auto* outer = navigationController()) outer->barItemsChanged();
}

UINavigationBar::UINavigationBar(UINavigationController& owner)
    : owner_(owner), largeArea_(make<UIView>()), band_(kLargeTitleHeight) {
  largeArea_->setClipsToBounds(true);
  addSubview(largeArea_);
}

void UINavigationBar::setLargeTitleBand(double band) {
  if (band == band_) return;
  const bool was = showsLargeTitle();
  band_ = band;
  // Shrunk away, the title shows in the bar, standard and centred.
  if (was != showsLargeTitle()) reload();
  setNeedsLayout();
}

void UINavigationBar::setTintColor(std::optional<UIColor> color) {
  tint_ = std::move(color);
  reload();
}

void UINavigationBar::setBarTintColor(std::optional<UIColor> color) {
  barTint_ = std::move(color);
  setNeedsDisplay();
}

UIColor UINavigationBar::tint() const {
  if (tint_) return *tint_;
  return UIAppearance::shared().value(AppearanceProperty::NavigationBarTint, *this).value_or(UIColor::systemBlueColor());
}

UINavigationBar::Shown UINavigationBar::shown() const {
  Shown s{owner_.topViewController(), owner_.viewControllers().size() > 1 ? &owner_ : nullptr};
  while (auto* inner = nestedStack(s.screen)) {
    if (inner->viewControllers().size() > 1) s.backStack = inner;
    s.screen = inner->topViewController();
  }
  return s;
}

bool UINavigationBar::largeTitleAllowed() const {
  auto* top = shown().screen;
  if (!top) return false;
  auto mode = top->navigationItem().largeTitleDisplayMode();
  if (mode == UINavigationItemLargeTitleDisplayMode::Never) return false;
  return owner_.prefersLargeTitles();
}

bool UINavigationBar::showsLargeTitle() const { return largeTitleAllowed() && band_ > 0; }

double UINavigationBar::preferredHeight() const { return kBarHeight + (largeTitleAllowed() ? band_ : 0); }

void UINavigationBar::reload() {
  for (auto& v : items_) v->removeFromSuperview();
  items_.clear();
  back_.reset();
  title_.reset();
  left_ = nullptr;
  Shown shows = shown();
  if (!shows.screen) return;
  UINavigationItem& item = shows.screen->navigationItem();
  if (shows.backStack && !item.hidesBackButton() && !item.leftBarButtonItem()) {
    auto& stack = shows.backStack->viewControllers();
    backTitle_ = stack[stack.size() - 2]->navigationItem().title();
    if (backTitle_.isEmpty()) backTitle_ = "Back";
    back_ = make<UIButton>(UIButtonType::System);
    back_->setAccessibilityIdentifier("BackButton");
    back_->addTarget(
        [stack = shows.backStack->weak_from_this()] {
          if (auto nav = std::dynamic_pointer_cast<UINavigationController>(stack.lock()))
            nav->popViewControllerAnimated(true);
        },
        UIControlEvents::TouchUpInside);
    items_.push_back(back_);
  } else if (item.leftBarButtonItem()) {
    items_.push_back(make<BarItemButton>(item.leftBarButtonItem()));
  }
  left_ = items_.empty() ? nullptr : items_.front().get();
  title_ = make<UILabel>();
  title_->setText(item.title());
  if (showsLargeTitle()) {
    title_->setFont(UIFont::boldSystemFontOfSize(34));
    title_->setAdjustsFontSizeToFitWidth(true);
    title_->setMinimumScaleFactor(kLargeTitleMinimumScale);
  } else {
    title_->setFont(UIFont::boldSystemFontOfSize(17));
  }
  title_->setTextAlignment(showsLargeTitle() ? NSTextAlignment::Left : NSTextAlignment::Center);
  items_.push_back(title_);
  for (auto& right : item.rightBarButtonItems())
    if (right) items_.push_back(make<BarItemButton>(right));
  for (auto& v : items_) {
    if (v == title_ && showsLargeTitle()) largeArea_->addSubview(v);
    else addSubview(v);
  }
  setNeedsLayout();
}

void UINavigationBar::layoutSubviews() {
  const double w = frame().width();
  const double top = frame().height() - preferredHeight();
  double left = 8, right = w - 8;
  UIColor color = tint();
  for (auto& v : items_) {
    if (v == title_ || v.get() == left_) continue;
    auto* button = static_cast<UIButton*>(v.get());
    button->setTitleColor(color, UIControlState::Normal);
    double width = button->sizeThatFits({}).width;
    right -= width;
    v->setFrame(CGRect(right, top, width, kBarHeight));
    right -= 4;
  }
  if (auto* button = static_cast<UIButton*>(left_)) {
    button->setTitleColor(color, UIControlState::Normal);
    if (back_) {
      // A previous title too long for the bar reads "Back", as on the phone:
      // the back button leaves the right items and a centred title room.
      double room = right - left;
      if (!showsLargeTitle() && title_ && !title_->text().isEmpty())
        room = std::min(room, (w - std::min(title_->sizeThatFits({}).width, w / 3)) / 2 - left - 4);
      back_->setTitle(backTitle_, UIControlState::Normal);
      if (back_->sizeThatFits({}).width > room) back_->setTitle("Back", UIControlState::Normal);
    }
    double width = button->sizeThatFits({}).width;
    button->setFrame(CGRect(left, top, width, kBarHeight));
    left += width + 4;
  }
  largeArea_->setFrame(CGRect(0, top + kBarHeight, w, showsLargeTitle() ? band_ : 0));
  if (title_) {
    if (showsLargeTitle()) {
      // Its foot stays on the band's as the band shrinks.
      title_->setFrame(CGRect(16, band_ - kLargeTitleHeight, w - 32, kLargeTitleHeight - 8));
    } else {
      double side = std::max(left, w - right);
      title_->setFrame(CGRect(side, top, std::max(0.0, w - 2 * side), kBarHeight));
    }
  }
  UIView::layoutSubviews();
}

void UINavigationBar::draw(QPainter& painter, const CGRect&) {
  QColor fill = resolve(barTint_.value_or(UIColor::barBackgroundColor()));
  painter.fillRect(QRectF(QPointF(), toQt(frame().size)), fill);
  painter.fillRect(QRectF(0, frame().height() - 0.5, frame().width(), 0.5), resolve(UIColor::separatorColor()));
}

}  // namespace platform::uikit
