// Appearance proxies: a colour for every control of a kind, or for those
// inside a controller of a given class, applied when the control draws.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/uikit/color.h"

namespace platform::uikit {

class UIView;
class UIViewController;

enum class AppearanceProperty { SwitchOnTint, SegmentedControlTint, NavigationBarTint };

class UIAppearance {
 public:
  // The process's proxies, like the toolkit's class-wide appearance.
  static UIAppearance& shared();

  void set(AppearanceProperty property, const UIColor& color);
  // appearanceWhenContainedInInstancesOfClasses: [Container]
  template <class Container>
  void setWhenContainedIn(AppearanceProperty property, const UIColor& color) {
    add(property, [](const UIViewController& c) { return dynamic_cast<const Container*>(&c) != nullptr; }, color);
  }
  // The colour for `view`: the last rule set whose container holds it.
  std::optional<UIColor> value(AppearanceProperty property, const UIView& view) const;
  void reset() { rules_.clear(); }

 private:
  using Container = std::function<bool(const UIViewController&)>;
  struct Rule {
    AppearanceProperty property;
    Container container;  // empty: everywhere
    UIColor color;
  };
  void add(AppearanceProperty property, Container container, const UIColor& color);
  std::vector<Rule> rules_;
};

// UIView animateWithDuration:animations:completion: the changes apply at
// once (any duration, infinite included); the completion runs on the next turn.
void animateWithDuration(double seconds, const std::function<void()>& animations,
                         std::function<void(bool)> completion = {});

}  // namespace platform::uikit
