// The status-bar marker: a small coloured dot in the status-bar window,
// visible while blocked events wait unread.
#pragma once

#include "platform/runtime/runtime.h"

namespace calmora::marker {

// Accessors of the `label` property added to UIStatusBarWindow.
runtime::Id label(const runtime::Id& window);
void setLabel(const runtime::Id& window, runtime::Id label);
// Builds the marker label in the window.
void loadNotificationIcon(const runtime::Id& window);
// Replaces -[UIStatusBarWindow setStatusBar:].
void setStatusBar(const runtime::Id& window, runtime::Id statusBar);

}  // namespace calmora::marker
