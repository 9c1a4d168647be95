#include "platform/uikit/appearance.h"

#include <QCoreApplication>
#include <QTimer>

#include "platform/uikit/view.h"
#include "platform/uikit/view_controller.h"

namespace platform::uikit {

UIAppearance& UIAppearance::shared() {
  static UIAppearance appearance;
  return appearance;
}

void UIAppearance::set(AppearanceProperty property, const UIColor& color) { add(property, {}, color); }

void UIAppearance::add(AppearanceProperty property, Container container, const UIColor& color) {
  rules_.push_back({property, std::move(container), color});
}

std::optional<UIColor> UIAppearance::value(AppearanceProperty property, const UIView& view) const {
  for (auto rule = rules_.rbegin(); rule != rules_.rend(); ++rule) {
    if (rule->property != property) continue;
    if (!rule->container) return rule->color;
    for (const UIView* v = &view; v; v = v->superview())
      for (UIViewController* c = v->viewController(); c; c = c->parentViewController())
        if (rule->container(*c)) return rule->color;
  }
  return std::nullopt;
}

void animateWithDuration(double, const std::function<void()>& animations, std::function<void(bool)> completion) {
  if (animations) animations();
  if (completion) QTimer::singleShot(0, QCoreApplication::instance(), [completion] { completion(true); });
}

}  // namespace platform::uikit
