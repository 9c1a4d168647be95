// Touches synthesized as mouse events through the widgets' real event path,
// at points in window coordinates.
#pragma once

#include "platform/uikit/window.h"

namespace platform::uikit::automation {

void tapAt(UIWindow& window, CGPoint point);
// Press at `from`, move in steps, release at `to`.
void dragFrom(UIWindow& window, CGPoint from, CGPoint to, int steps = 8);
// The centre of the part of `view` that shows, in its window's coordinates.
CGPoint centerInWindow(const UIView& view);

}  // namespace platform::uikit::automation
