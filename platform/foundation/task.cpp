#include "platform/foundation/task.h"

#include "platform/foundation/log.h"

namespace platform {

Result<pid_t> NSTask::launch() {
  if (pid_ != 0) {
    log("task: ", launchPath_, " was launched already");
    return Error{ErrorCode::Exists, 0, launchPath_ + ": launched already"};
  }
  auto started = startDeviceProgram(launchPath_, arguments_);
  if (started) pid_ = *started;
  return started;
}

}  // namespace platform
