// The home screen's appearance, where the library registers its observers,
// and the app launch it does on request.
#pragma once

#include "platform/runtime/runtime.h"

namespace calmora::homescreen {

// Replaces -[SBHomeScreenViewController viewDidAppear:].
void viewDidAppear(const runtime::Id& self, bool animated);
// Added to SBHomeScreenViewController: opens the app the signal names.
void launchApp(const runtime::Id& self, runtime::Id notification);

}  // namespace calmora::homescreen
