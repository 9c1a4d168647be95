// Brings the window over the desktop's others and gives it the keys, when
// another process asks (a second simctl open).
#pragma once

class QWidget;

namespace device_window {

// Qt's own activation carries the time of the last X event the window saw,
// which X without a window manager (and a window manager that prevents
// focus theft) ignores as stale once another window has taken the focus
// since: on X the request also goes out at the current time, to the window
// manager as a pager's would and to X itself.
void bringToFront(QWidget* window);

}  // namespace device_window
