#include "platform/springboard/uikit.h"

#include "platform/springboard/class_helpers.h"

#include <algorithm>

namespace host {

UIView::State UIView::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

std::vector<std::shared_ptr<UIView>> UIView::subviews() const {
  std::lock_guard lock(mutex_);
  return subviews_;
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
  if (!view || view.get() == this) return;
  view->removeFromSuperview();
  {
    std::lock_guard lock(mutex_);
    subviews_.push_back(view);
  }
  std::lock_guard lock(view->mutex_);
  view->superview_ = std::static_pointer_cast<UIView>(shared_from_this());
}

void UIView::removeFromSuperview() {
  std::shared_ptr<UIView> parent;
  {
    std::lock_guard lock(mutex_);
    parent = superview_.lock();
    superview_.reset();
  }
  if (!parent) return;
  std::lock_guard lock(parent->mutex_);
  std::erase_if(parent->subviews_, [this](const auto& v) { return v.get() == this; });
}

std::shared_ptr<UIView> UIView::superview() const {
  std::lock_guard lock(mutex_);
  return superview_.lock();
}

UILabel::Text UILabel::text() const {
  std::lock_guard lock(mutex_);
  return text_;
}

rt::Id UIStatusBarWindow::statusBar() const {
  std::lock_guard lock(mutex_);
  return statusBar_;
}

namespace {

std::mutex gScreenMutex;
std::shared_ptr<UIScreen>& screenStorage() {
  static std::shared_ptr<UIScreen> screen;
  return screen;
}

// Edits a view's state under its lock.
template <class V, class Fn>
void edit(const rt::Id& self, Fn&& fn) {
  if (auto v = rt::as<V>(self)) v->withLock([&] { fn(*v); });
}

}  // namespace

// Friend of the view classes, so it defines their methods here.
struct UIKitRegistration {
  static void views(rt::Class* view, rt::Class* layer);
  static void labels(rt::Class* label);
  static void windowsAndScreen(rt::Class* statusBarWindow, rt::Class* screen, rt::Class* image);
};

void registerUIKit() {
  rt::Class* view = makeClass<UIView>("UIView", nullptr);
  rt::Class* label = makeClass<UILabel>("UILabel", view);
  rt::Class* window = makeClass<UIWindow>("UIWindow", view);
  rt::Class* statusBarWindow = makeClass<UIStatusBarWindow>("UIStatusBarWindow", window);
  rt::Class* layer = makeClass<CALayer>("CALayer", nullptr);
  UIKitRegistration::views(view, layer);
  UIKitRegistration::labels(label);
  UIKitRegistration::windowsAndScreen(statusBarWindow, rt::registerClass("UIScreen"), rt::registerClass("UIImage"));
}

void UIKitRegistration::views(rt::Class* view, rt::Class* layer) {
  rt::defineMethod<Rect>(view, "frame", [](const rt::Id& self) {
    auto v = rt::as<UIView>(self);
    return v ? v->state().frame : Rect{};
  });
  rt::defineMethod<void, Rect>(view, "setFrame:", [](const rt::Id& self, Rect r) {
    edit<UIView>(self, [&](UIView& v) { v.state_.frame = r; });
  });
  rt::defineMethod<double>(view, "alpha", [](const rt::Id& self) {
    auto v = rt::as<UIView>(self);
    return v ? v->state().alpha : 0.0;
  });
  rt::defineMethod<void, double>(view, "setAlpha:", [](const rt::Id& self, double a) {
    edit<UIView>(self, [&](UIView& v) { v.state_.alpha = std::clamp(a, 0.0, 1.0); });
  });
  rt::defineMethod<void, std::optional<Color>>(view, "setBackgroundColor:",
                                               [](const rt::Id& self, std::optional<Color> c) {
                                                 edit<UIView>(self, [&](UIView& v) { v.state_.background = c; });
                                               });
  rt::defineMethod<std::optional<Color>>(view, "backgroundColor", [](const rt::Id& self) {
    auto v = rt::as<UIView>(self);
    return v ? v->state().background : std::nullopt;
  });
  rt::defineMethod<void, rt::Id>(view, "addSubview:", [](const rt::Id& self, rt::Id sub) {
    auto v = rt::as<UIView>(self);
    if (v) v->addSubview(rt::as<UIView>(sub));
  });
  rt::defineMethod<void>(view, "removeFromSuperview", [](const rt::Id& self) {
    if (auto v = rt::as<UIView>(self)) v->removeFromSuperview();
  });
  rt::defineMethod<rt::Id>(view, "layer", [layer](const rt::Id& self) -> rt::Id {
    auto l = std::make_shared<CALayer>(layer);
    l->view = rt::as<UIView>(self);
    return l;
  });
  rt::defineMethod<void, double>(layer, "setCornerRadius:", [](const rt::Id& self, double r) {
    if (auto l = rt::as<CALayer>(self)) edit<UIView>(l->view.lock(), [&](UIView& v) { v.state_.cornerRadius = r; });
  });
  rt::defineMethod<void, bool>(layer, "setMasksToBounds:", [](const rt::Id& self, bool b) {
    if (auto l = rt::as<CALayer>(self)) edit<UIView>(l->view.lock(), [&](UIView& v) { v.state_.masksToBounds = b; });
  });
}

void UIKitRegistration::labels(rt::Class* label) {
  rt::defineMethod<void, host::Text>(label, "setText:", [](const rt::Id& self, host::Text t) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.text = t.value_or(""); });
  });
  rt::defineMethod<void, int64_t>(label, "setTextAlignment:", [](const rt::Id& self, int64_t a) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.alignment = static_cast<int>(a); });
  });
  // The system font of the given size.
  rt::defineMethod<void, double>(label, "setFont:", [](const rt::Id& self, double size) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.fontSize = size; });
  });
  rt::defineMethod<void, Color>(label, "setTextColor:", [](const rt::Id& self, Color c) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.textColor = c; });
  });
  rt::defineMethod<void, int64_t>(label, "setNumberOfLines:", [](const rt::Id& self, int64_t n) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.numberOfLines = static_cast<int>(n); });
  });
  rt::defineMethod<void, int64_t>(label, "setLineBreakMode:", [](const rt::Id& self, int64_t m) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.lineBreakMode = static_cast<int>(m); });
  });
}

void UIKitRegistration::windowsAndScreen(rt::Class* statusBarWindow, rt::Class* screen, rt::Class* image) {
  rt::defineMethod<void, rt::Id>(statusBarWindow, "setStatusBar:", [](const rt::Id& self, rt::Id bar) {
    edit<UIStatusBarWindow>(self, [&](UIStatusBarWindow& w) { w.statusBar_ = std::move(bar); });
  });

  rt::defineClassMethod<rt::Id>(screen, "mainScreen", [](const rt::Id&) -> rt::Id { return mainScreen(); });
  rt::defineMethod<Rect>(screen, "bounds", [](const rt::Id& self) {
    auto s = rt::as<UIScreen>(self);
    return s ? s->bounds : Rect{};
  });
  rt::defineMethod<double>(screen, "scale", [](const rt::Id& self) {
    auto s = rt::as<UIScreen>(self);
    return s ? s->scale : 1.0;
  });
  // UIImagePNGRepresentation, as a message: code outside the host reaches
  // it only through the runtime.
  rt::defineMethod<std::string>(image, "PNGRepresentation",
                                [](const rt::Id& self) { return imagePNGRepresentation(self); });
}

void setMainScreen(Rect bounds, double scale) {
  auto s = std::make_shared<UIScreen>(rt::registerClass("UIScreen"), bounds, scale);
  std::lock_guard lock(gScreenMutex);
  screenStorage() = std::move(s);
}

std::shared_ptr<UIScreen> mainScreen() {
  std::lock_guard lock(gScreenMutex);
  return screenStorage();
}

rt::Id makeImage(platform::apps::Image image) {
  return std::make_shared<UIImage>(rt::registerClass("UIImage"), std::move(image));
}

std::string imagePNGRepresentation(const rt::Id& image) {
  auto img = rt::as<UIImage>(image);
  return img ? platform::apps::pngRepresentation(img->image) : std::string();
}

}  // namespace host
