// Waits that end: an event loop run until a condition holds, and child
// processes with a deadline. A lost signal or a hung child fails the test
// instead of hanging it.
#pragma once

#include <sys/types.h>

#include <functional>

namespace testsupport {

// Runs the Qt event loop until `done` holds or `ms` have passed; answers
// whether `done` held.
bool runUntil(const std::function<bool()>& done, int ms = 5000);

// Runs `body` in a forked child, which exits with the status body returns.
pid_t startChild(const std::function<int()>& body);
// Waits for the child; SIGKILLs it and answers -1 when it has not ended
// within `ms`. Otherwise answers the raw wait status.
int waitChild(pid_t pid, int ms);

}  // namespace testsupport
