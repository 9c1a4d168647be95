// The look every page of the pane shares: switches (and, on the root page,
// segmented controls) in the pane's tint, and the Settings app's own
// navigation bar, two navigation controllers up, tinted while a page shows.
#pragma once

#include <limits>

#include "platform/uikit/appearance.h"
#include "platform/uikit/navigation_controller.h"

namespace calmoprefs {

// The pane's slate in light appearance; too dark for the dark bar, where a
// lighter variant of it reads.
inline platform::uikit::UIColor pageTint() {
  namespace uk = platform::uikit;
  return uk::UIColor::colorWithRed(0.17, 0.24, 0.31, 1.0).readableOn(uk::UIColor::barBackgroundColor());
}

inline platform::uikit::UINavigationBar* outerNavigationBar(platform::uikit::UIViewController& page) {
  auto* inner = page.navigationController();
  auto* outer = inner ? inner->navigationController() : nullptr;
  return outer ? &outer->navigationBar() : nullptr;
}

template <class Page>
void applyPageAppearance(Page& page, bool tintSegments) {
  namespace uk = platform::uikit;
  auto& appearance = uk::UIAppearance::shared();
  appearance.setWhenContainedIn<Page>(uk::AppearanceProperty::SwitchOnTint, pageTint());
  if (tintSegments) appearance.setWhenContainedIn<Page>(uk::AppearanceProperty::SegmentedControlTint, pageTint());
  if (auto* bar = outerNavigationBar(page)) {
    bar->setTintColor(pageTint());
  }
}

// Gives the outer bar its default tint back, in an animation without end as
// the pages always have.
inline void resetPageAppearance(platform::uikit::UIViewController& page) {
  auto* bar = outerNavigationBar(page);
  if (!bar) return;
  platform::uikit::animateWithDuration(std::numeric_limits<double>::infinity(), [bar] {
    bar->setTintColor(std::nullopt);
  });
}

}  // namespace calmoprefs
