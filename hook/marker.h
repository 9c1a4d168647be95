// The status-bar marker: a small coloured dot in the status-bar window,
// visible while blocked events wait unread.
#pragma once

#include "platform/runtime/runtime.h"

namespace calmora::marker {

// Accessors of the `label` property added to UIStatusBarWindow.
rt::Id label(const rt::Id& window);
void setLabel(const rt::Id& window, rt::Id label);
// Builds the marker label in the window.
void loadNotificationIcon(const rt::Id& window);
// Replaces -[UIStatusBarWindow setStatusBar:].
void setStatusBar(const rt::Id& window, rt::Id statusBar);

}  // namespace calmora::marker
