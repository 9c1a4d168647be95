// The status-bar marker: a small coloured dot in the status-bar window,
// visible while blocked events wait unread.
#pragma once

#include "platform/runtime/runtime.h"

namespace calmora::marker {

// Accessors of the `label` property added to UIStatusBarWindow.
platform::runtime::Id label(const platform::runtime::Id& window);
void setLabel(const platform::runtime::Id& window, platform::runtime::Id label);
// Builds the marker label in the window.
void loadNotificationIcon(const platform::runtime::Id& window);
// Replaces -[UIStatusBarWindow setStatusBar:].
void setStatusBar(const platform::runtime::Id& window, platform::runtime::Id statusBar);

}  // namespace calmora::marker
