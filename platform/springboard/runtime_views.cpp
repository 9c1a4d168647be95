#include "platform/springboard/runtime_views.h"

#include <algorithm>

#include "platform/uikit/automation/reading.h"
#include "platform/uikit/label.h"
#include "platform/uikit/screen.h"

namespace platform::springboard {

namespace {

// The status-bar window's view: the screen's size, above the home screen's
// icons, which get the touches.
class StatusBarWindowView : public uikit::UIView {
 public:
  StatusBarWindowView() : uikit::UIView(uikit::UIScreen::mainScreen().bounds()) { setUserInteractionEnabled(false); }
};

[[maybe_unused]] const bool statusBarWindowRead =
    uikit::automation::readAs<StatusBarWindowView, uikit::UIView>({.className = "UIStatusBarWindow"});

uikit::CGRect toCG(const Rect& r) { return uikit::CGRect(r.x, r.y, r.width, r.height); }
Rect fromCG(const uikit::CGRect& r) { return Rect{r.minX(), r.minY(), r.width(), r.height()}; }

std::shared_ptr<uikit::UIView> viewOf(const runtime::Id& self) {
  auto v = runtime::as<RuntimeView>(self);
  return v ? v->view() : nullptr;
}

std::shared_ptr<uikit::UILabel> labelOf(const runtime::Id& self) {
  return std::dynamic_pointer_cast<uikit::UILabel>(viewOf(self));
}

// Every runtime view object made, for releaseRuntimeViews; the ones gone
// are pruned as more are made.
std::vector<std::weak_ptr<RuntimeView>>& made() {
  static std::vector<std::weak_ptr<RuntimeView>> views;
  return views;
}

template <class T>
std::shared_ptr<T> tracked(std::shared_ptr<T> view) {
  auto& all = made();
  if (all.size() >= 64) std::erase_if(all, [](const auto& w) { return w.expired(); });
  all.push_back(view);
  return view;
}

// A class whose instances hold a new platform view of type V.
template <class V>
runtime::Class* viewClass(std::string_view name, runtime::Class* super) {
  runtime::Class* cls = runtime::registerClass(name, super);
  cls->factory = [](runtime::Class* c) -> runtime::Id { return tracked(std::make_shared<RuntimeView>(c, std::make_shared<V>())); };
  return cls;
}

uikit::UIColor toUIColor(const Color& c) { return uikit::UIColor::colorWithRed(c.red, c.green, c.blue, c.alpha); }

}  // namespace

UIStatusBarWindow::UIStatusBarWindow(runtime::Class* cls) : RuntimeView(cls, std::make_shared<StatusBarWindowView>()) {}

std::optional<Color> hostColor(const std::optional<uikit::UIColor>& color) {
  if (!color) return std::nullopt;
  Color c;
  color->getRed(&c.red, &c.green, &c.blue, &c.alpha);
  return c;
}

// Friend of UIStatusBarWindow, so it defines the classes' methods here.
struct RuntimeViews {
  static void views(runtime::Class* view, runtime::Class* layer);
  static void labels(runtime::Class* label);
  static void statusBarWindow(runtime::Class* window);
  static void screenAndImages(runtime::Class* screen, runtime::Class* image);
};

void registerRuntimeViews() {
  runtime::Class* view = viewClass<uikit::UIView>("UIView", nullptr);
  runtime::Class* label = viewClass<uikit::UILabel>("UILabel", view);
  runtime::Class* window = viewClass<uikit::UIView>("UIWindow", view);
  runtime::Class* statusBarWindow = runtime::registerClass("UIStatusBarWindow", window);
  statusBarWindow->factory = [](runtime::Class* c) -> runtime::Id { return tracked(std::make_shared<UIStatusBarWindow>(c)); };
  runtime::Class* layer = runtime::registerClass("CALayer");
  layer->factory = [](runtime::Class* c) -> runtime::Id { return std::make_shared<CALayer>(c); };
  RuntimeViews::views(view, layer);
  RuntimeViews::labels(label);
  RuntimeViews::statusBarWindow(statusBarWindow);
  RuntimeViews::screenAndImages(runtime::registerClass("UIScreen"), runtime::registerClass("UIImage"));
}

void RuntimeViews::views(runtime::Class* view, runtime::Class* layer) {
  runtime::defineMethod<Rect>(view, "frame", [](const runtime::Id& self) {
    auto v = viewOf(self);
    return v ? fromCG(v->frame()) : Rect{};
  });
  runtime::defineMethod<void, Rect>(view, "setFrame:", [](const runtime::Id& self, Rect r) {
    if (auto v = viewOf(self)) v->setFrame(toCG(r));
  });
  runtime::defineMethod<double>(view, "alpha", [](const runtime::Id& self) {
    auto v = viewOf(self);
    return v ? v->alpha() : 0.0;
  });
  runtime::defineMethod<void, double>(view, "setAlpha:", [](const runtime::Id& self, double a) {
    if (auto v = viewOf(self)) v->setAlpha(a);
  });
  runtime::defineMethod<void, std::optional<Color>>(view, "setBackgroundColor:",
                                                    [](const runtime::Id& self, std::optional<Color> c) {
                                                      if (auto v = viewOf(self))
                                                        v->setBackgroundColor(c ? std::optional(toUIColor(*c)) : std::nullopt);
                                                                                                      });
  runtime::defineMethod<std::optional<Color>>(view, "backgroundColor", [](const runtime::Id& self) {
    auto v = viewOf(self);
    return v ? hostColor(v->backgroundColor()) : std::nullopt;
  });
  runtime::defineMethod<void, runtime::Id>(view, "addSubview:", [](const runtime::Id& self, runtime::Id sub) {
    auto v = viewOf(self);
    auto s = viewOf(sub);
    if (v && s && s != v) v->addSubview(s);
  });
  runtime::defineMethod<void>(view, "removeFromSuperview", [](const runtime::Id& self) {
    if (auto v = viewOf(self)) v->removeFromSuperview();
  });
  runtime::defineMethod<runtime::Id>(view, "layer", [layer](const runtime::Id& self) -> runtime::Id {
    auto l = std::make_shared<CALayer>(layer);
    l->view = viewOf(self);
    return l;
  });
  runtime::defineMethod<void, double>(layer, "setCornerRadius:", [](const runtime::Id& self, double r) {
    auto l = runtime::as<CALayer>(self);
    if (auto v = l ? l->view.lock() : nullptr) v->setCornerRadius(r);
  });
  runtime::defineMethod<void, bool>(layer, "setMasksToBounds:", [](const runtime::Id& self, bool b) {
    auto l = runtime::as<CALayer>(self);
    if (auto v = l ? l->view.lock() : nullptr) v->setClipsToBounds(b);
  });
}

void RuntimeViews::labels(runtime::Class* label) {
  runtime::defineMethod<void, platform::Text>(label, "setText:", [](const runtime::Id& self, platform::Text t) {
    if (auto l = labelOf(self)) l->setText(QString::fromStdString(t.value_or("")));
  });
  runtime::defineMethod<void, int64_t>(label, "setTextAlignment:", [](const runtime::Id& self, int64_t a) {
    if (auto l = labelOf(self))
      l->setTextAlignment(a == 1 ? uikit::NSTextAlignment::Center
                          : a == 2 ? uikit::NSTextAlignment::Right
                                   : uikit::NSTextAlignment::Left);
  });
  // The system font of the given size.
  runtime::defineMethod<void, double>(label, "setFont:", [](const runtime::Id& self, double size) {
    if (auto l = labelOf(self)) l->setFont(uikit::UIFont::systemFontOfSize(size));
  });
  runtime::defineMethod<void, Color>(label, "setTextColor:", [](const runtime::Id& self, Color c) {
    if (auto l = labelOf(self)) l->setTextColor(toUIColor(c));
  });
  runtime::defineMethod<void, int64_t>(label, "setNumberOfLines:", [](const runtime::Id& self, int64_t n) {
    if (auto l = labelOf(self)) l->setNumberOfLines(static_cast<int>(std::clamp<int64_t>(n, 0, 1000)));
  });
  // NSLineBreakMode's values, in its order; another value truncates the tail.
  runtime::defineMethod<void, int64_t>(label, "setLineBreakMode:", [](const runtime::Id& self, int64_t m) {
    if (auto l = labelOf(self))
      l->setLineBreakMode(m >= 0 && m <= 5 ? static_cast<uikit::NSLineBreakMode>(m)
                                           : uikit::NSLineBreakMode::ByTruncatingTail);
  });
}

void RuntimeViews::statusBarWindow(runtime::Class* window) {
  runtime::defineMethod<Rect>(window, "frame", [](const runtime::Id& self) {
    auto w = runtime::as<UIStatusBarWindow>(self);
    return w ? w->frame_ : Rect{};
  });
  runtime::defineMethod<void, Rect>(window, "setFrame:", [](const runtime::Id& self, Rect r) {
    if (auto w = runtime::as<UIStatusBarWindow>(self)) w->frame_ = r;
  });
  // The bar shows at the window's top, below what injected code adds.
  runtime::defineMethod<void, runtime::Id>(window, "setStatusBar:", [](const runtime::Id& self, runtime::Id bar) {
    auto w = runtime::as<UIStatusBarWindow>(self);
    if (!w) return;
    if (auto old = viewOf(w->statusBar_)) old->removeFromSuperview();
    if (auto view = viewOf(bar)) w->view()->insertSubview(view, 0);
    w->statusBar_ = std::move(bar);
  });
}

void RuntimeViews::screenAndImages(runtime::Class* screen, runtime::Class* image) {
  runtime::Id mainScreen = std::make_shared<runtime::Object>(screen);
  runtime::defineClassMethod<runtime::Id>(screen, "mainScreen", [mainScreen](const runtime::Id&) { return mainScreen; });
  runtime::defineMethod<Rect>(screen, "bounds",
                              [](const runtime::Id&) { return fromCG(uikit::UIScreen::mainScreen().bounds()); });
  runtime::defineMethod<double>(screen, "scale", [](const runtime::Id&) { return uikit::UIScreen::mainScreen().scale(); });
  // UIImagePNGRepresentation, as a message: code outside the host reaches
  // it only through the runtime.
  runtime::defineMethod<std::string>(image, "PNGRepresentation", [](const runtime::Id& self) {
    auto img = runtime::as<UIImage>(self);
    return img && img->image ? img->image->pngData().toStdString() : std::string();
  });
}

runtime::Id wrapView(std::shared_ptr<uikit::UIView> view) {
  return tracked(std::make_shared<RuntimeView>(runtime::registerClass("UIView"), std::move(view)));
}

void releaseRuntimeViews() {
  for (const auto& weak : std::exchange(made(), {}))
    if (auto view = weak.lock()) view->releaseView();
}

runtime::Id makeImage(uikit::UIImagePtr image) {
  if (!image) return nullptr;
  return std::make_shared<UIImage>(runtime::registerClass("UIImage"), std::move(image));
}

}  // namespace platform::springboard
