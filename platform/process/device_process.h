// The life every process of a device shares (the home screen, each app,
// the display):
// it takes the device whose root is argv[1] (its locale, its bus), serves
// its control channel DEVICE/run/NAME.sock, records DEVICE/run/NAME.pid,
// builds what this kind of process runs and runs the event loop. Quit or
// SIGTERM end it the same way: what it built goes, then the pid file and
// the socket.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/automation/verbs.h"

namespace platform {

namespace automation {
class Server;
}

struct DeviceProcess {
  // The name of its socket and pid file.
  std::string name;
  // How its lines in its log begin.
  std::string logName;
  // The verbs its control channel serves.
  std::span<const automation::Verb> verbs;
  // Builds what the process runs and serves its verbs on `control`, once the
  // channel is open and the pid recorded; the event loop starts after it.
  // What it answers lives until the loop ends, and goes before Qt does.
  std::function<std::shared_ptr<void>(automation::Server& control, const std::filesystem::path& root)> start;
  // Where its windows show: on the device's display while that serves
  // (otherwise nowhere), or nowhere at all (the display itself). A platform
  // the caller names in QT_QPA_PLATFORM other than offscreen or wayland is
  // used as asked.
  enum class Windows { OnDeviceDisplay, Headless };
  Windows windows = Windows::OnDeviceDisplay;
};

// Runs the process; answers its exit status. One that SIGTERM ended ends by
// that signal once it has cleaned up; one still starting ends at once.
int runDeviceProcess(int argc, char** argv, const DeviceProcess& process);

}  // namespace platform
