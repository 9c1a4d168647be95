// Waiting on the process's event loop, so that signals and timers are
// served meanwhile.
#pragma once

#include <functional>

namespace platform {

// Runs the Qt event loop until `done` holds or `ms` have passed; answers
// whether `done` held.
bool runEventLoopUntil(const std::function<bool()>& done, int ms);

}  // namespace platform
