#include "platform/springboard/uikit.h"

#include "platform/springboard/class_helpers.h"

#include <algorithm>

namespace platform::springboard {

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

runtime::Id UIStatusBarWindow::statusBar() const {
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
void edit(const runtime::Id& self, Fn&& fn) {
  if (auto v = runtime::as<V>(self)) v->withLock([&] { fn(*v); });
}

}  // namespace

// Friend of the view classes, so it defines their methods here.
struct UIKitRegistration {
  static void views(runtime::Class* view, runtime::Class* layer);
  static void labels(runtime::Class* label);
  static void windowsAndScreen(runtime::Class* statusBarWindow, runtime::Class* screen, runtime::Class* image);
};

void registerUIKit() {
  runtime::Class* view = makeClass<UIView>("UIView", nullptr);
  runtime::Class* label = makeClass<UILabel>("UILabel", view);
  runtime::Class* window = makeClass<UIWindow>("UIWindow", view);
  runtime::Class* statusBarWindow = makeClass<UIStatusBarWindow>("UIStatusBarWindow", window);
  runtime::Class* layer = makeClass<CALayer>("CALayer", nullptr);
  UIKitRegistration::views(view, layer);
  UIKitRegistration::labels(label);
  UIKitRegistration::windowsAndScreen(statusBarWindow, runtime::registerClass("UIScreen"), runtime::registerClass("UIImage"));
}

void UIKitRegistration::views(runtime::Class* view, runtime::Class* layer) {
  runtime::defineMethod<Rect>(view, "frame", [](const runtime::Id& self) {
    auto v = runtime::as<UIView>(self);
    return v ? v->state().frame : Rect{};
  });
  runtime::defineMethod<void, Rect>(view, "setFrame:", [](const runtime::Id& self, Rect r) {
    edit<UIView>(self, [&](UIView& v) { v.state_.frame = r; });
  });
  runtime::defineMethod<double>(view, "alpha", [](const runtime::Id& self) {
    auto v = runtime::as<UIView>(self);
    return v ? v->state().alpha : 0.0;
  });
  runtime::defineMethod<void, double>(view, "setAlpha:", [](const runtime::Id& self, double a) {
    edit<UIView>(self, [&](UIView& v) { v.state_.alpha = std::clamp(a, 0.0, 1.0); });
  });
  runtime::defineMethod<void, std::optional<Color>>(view, "setBackgroundColor:",
                                               [](const runtime::Id& self, std::optional<Color> c) {
                                                 edit<UIView>(self, [&](UIView& v) { v.state_.background = c; });
                                               });
  runtime::defineMethod<std::optional<Color>>(view, "backgroundColor", [](const runtime::Id& self) {
    auto v = runtime::as<UIView>(self);
    return v ? v->state().background : std::nullopt;
  });
  runtime::defineMethod<void, runtime::Id>(view, "addSubview:", [](const runtime::Id& self, runtime::Id sub) {
    auto v = runtime::as<UIView>(self);
    if (v) v->addSubview(runtime::as<UIView>(sub));
  });
  runtime::defineMethod<void>(view, "removeFromSuperview", [](const runtime::Id& self) {
    if (auto v = runtime::as<UIView>(self)) v->removeFromSuperview();
  });
  runtime::defineMethod<runtime::Id>(view, "layer", [layer](const runtime::Id& self) -> runtime::Id {
    auto l = std::make_shared<CALayer>(layer);
    l->view = runtime::as<UIView>(self);
    return l;
  });
  runtime::defineMethod<void, double>(layer, "setCornerRadius:", [](const runtime::Id& self, double r) {
    if (auto l = runtime::as<CALayer>(self)) edit<UIView>(l->view.lock(), [&](UIView& v) { v.state_.cornerRadius = r; });
  });
  runtime::defineMethod<void, bool>(layer, "setMasksToBounds:", [](const runtime::Id& self, bool b) {
    if (auto l = runtime::as<CALayer>(self)) edit<UIView>(l->view.lock(), [&](UIView& v) { v.state_.masksToBounds = b; });
  });
}

void UIKitRegistration::labels(runtime::Class* label) {
  runtime::defineMethod<void, platform::Text>(label, "setText:", [](const runtime::Id& self, platform::Text t) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.text = t.value_or(""); });
  });
  runtime::defineMethod<void, int64_t>(label, "setTextAlignment:", [](const runtime::Id& self, int64_t a) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.alignment = static_cast<int>(a); });
  });
  // The system font of the given size.
  runtime::defineMethod<void, double>(label, "setFont:", [](const runtime::Id& self, double size) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.fontSize = size; });
  });
  runtime::defineMethod<void, Color>(label, "setTextColor:", [](const runtime::Id& self, Color c) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.textColor = c; });
  });
  runtime::defineMethod<void, int64_t>(label, "setNumberOfLines:", [](const runtime::Id& self, int64_t n) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.numberOfLines = static_cast<int>(n); });
  });
  runtime::defineMethod<void, int64_t>(label, "setLineBreakMode:", [](const runtime::Id& self, int64_t m) {
    edit<UILabel>(self, [&](UILabel& l) { l.text_.lineBreakMode = static_cast<int>(m); });
  });
}

void UIKitRegistration::windowsAndScreen(runtime::Class* statusBarWindow, runtime::Class* screen, runtime::Class* image) {
  runtime::defineMethod<void, runtime::Id>(statusBarWindow, "setStatusBar:", [](const runtime::Id& self, runtime::Id bar) {
    edit<UIStatusBarWindow>(self, [&](UIStatusBarWindow& w) { w.statusBar_ = std::move(bar); });
  });

  runtime::defineClassMethod<runtime::Id>(screen, "mainScreen", [](const runtime::Id&) -> runtime::Id { return mainScreen(); });
  runtime::defineMethod<Rect>(screen, "bounds", [](const runtime::Id& self) {
    auto s = runtime::as<UIScreen>(self);
    return s ? s->bounds : Rect{};
  });
  runtime::defineMethod<double>(screen, "scale", [](const runtime::Id& self) {
    auto s = runtime::as<UIScreen>(self);
    return s ? s->scale : 1.0;
  });
  // UIImagePNGRepresentation, as a message: code outside the host reaches
  // it only through the runtime.
  runtime::defineMethod<std::string>(image, "PNGRepresentation",
                                [](const runtime::Id& self) { return imagePNGRepresentation(self); });
}

void setMainScreen(Rect bounds, double scale) {
  auto s = std::make_shared<UIScreen>(runtime::registerClass("UIScreen"), bounds, scale);
  std::lock_guard lock(gScreenMutex);
  screenStorage() = std::move(s);
}

std::shared_ptr<UIScreen> mainScreen() {
  std::lock_guard lock(gScreenMutex);
  return screenStorage();
}

runtime::Id makeImage(platform::apps::Image image) {
  return std::make_shared<UIImage>(runtime::registerClass("UIImage"), std::move(image));
}

std::string imagePNGRepresentation(const runtime::Id& image) {
  auto img = runtime::as<UIImage>(image);
  return img ? platform::apps::pngRepresentation(img->image) : std::string();
}

}  // namespace platform::springboard
