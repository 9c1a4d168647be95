// Device programs: a program installed on the device, started by its device
// path ("/usr/bin/killall") with an argument vector, never through a shell,
// and not waited for, as a task is launched on the phone.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/error.h"

namespace platform {

// Starts the program at `devicePath` of this process's device with
// `arguments` after its name. It runs detached (nobody's zombie), with this
// process's environment, and none of its open files beyond standard input,
// output and error. Fails with NotFound (not installed), NotRegularFile (a
// folder, or a path leading out of the device), Unreadable (not executable,
// or exec failed; sysErrno says why).
Result<pid_t> startDeviceProgram(std::string_view devicePath, const std::vector<std::string>& arguments);

}  // namespace platform
