// NSTask: a device program with its arguments, launched and not waited for.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/foundation/device_program.h"

namespace platform {

class NSTask {
 public:
  void setLaunchPath(std::string devicePath) { launchPath_ = std::move(devicePath); }
  const std::string& launchPath() const { return launchPath_; }
  void setArguments(std::vector<std::string> arguments) { arguments_ = std::move(arguments); }
  const std::vector<std::string>& arguments() const { return arguments_; }

  // Starts the program (startDeviceProgram): a path that is no installed
  // program fails with its code and a diagnostic line. Once only.
  Result<pid_t> launch();
  // The started program's pid, 0 before a launch that worked.
  pid_t processIdentifier() const { return pid_; }

 private:
  std::string launchPath_;
  std::vector<std::string> arguments_;
  pid_t pid_ = 0;
};

}  // namespace platform
