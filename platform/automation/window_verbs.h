// The device window's verbs, served on DEVICE/run/device-window.sock while
// a window of the device is open (one at most: the socket's lock):
//   front  raises the window over the desktop's others and gives it the
//          keys: {"ok": true}
//   quit   closes the window; the device runs on
#pragma once

#include "platform/automation/ui_verbs.h"
#include "platform/automation/verbs.h"

namespace platform::automation::window {

inline constexpr std::string_view kProcess = "device-window";

inline constexpr Verb kFront{"front", {}, "raises the window and gives it the keys"};
inline constexpr Verb kVerbs[] = {kFront, ui::kQuit};

}  // namespace platform::automation::window
