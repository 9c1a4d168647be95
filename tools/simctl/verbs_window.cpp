// The verbs that show the device on the desktop (open) and in a browser (serve).
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/automation/typed_json.h"
#include "platform/automation/window_verbs.h"
#include "platform/foundation/device_appearance.h"
#include "tools/simctl/device_control.h"
#include "tools/simctl/verbs.h"

namespace simctl {
namespace fs = std::filesystem;

namespace {

// Starts the window detached from simctl, which ends once the window says
// on `ready` how its start went.
bool spawnWindow(const fs::path& dir, int ready) {
  // The desktop's X server, whatever the caller's Qt platform.
  return startDetached({.program = "device-window",
                        .args = {dir.string(), "--ready-fd", std::to_string(ready)},
                        .log = dir / "var/log/device-window.log",
                        .environment = {{"QT_QPA_PLATFORM", "xcb"}}});
}

// The window's line, or empty when it ended or stayed silent past the timeout.
std::string readLine(int fd) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs());
  char c;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    if (::read(fd, &c, 1) != 1 || c == '\n') break;
    line += c;
  }
  return line;
}

}  // namespace

int open(const fs::path& dirArg, const Args&) {
  const auto dir = deviceDir(dirArg);
  const char* desktop = std::getenv("DISPLAY");
  if (!desktop || !*desktop) {
    std::fprintf(stderr, "simctl open: no desktop to show the window on (DISPLAY is not set)\n");
    return 1;
  }
  namespace display = platform::automation::display;
  if (!platform::automation::request(platform::automation::socketFile(dir, display::kProcess),
                                     encode(display::kStatusCall, {}), 2000)) {
    std::fprintf(stderr, "simctl open: the device's display is not running (simctl boot DIR)\n");
    return 1;
  }
  // A person at the window hears the device.
  if (auto set = platform::setDeviceSoundSwitch(dir, platform::SoundSwitch::Sound, true); !set)
    std::fprintf(stderr, "simctl open: %s\n", set.error().c_str());
  // A window already open comes to front.
  namespace window = platform::automation::window;
  if (platform::automation::request(platform::automation::socketFile(dir, window::kProcess),
                                    requestOf(window::kFront), 2000)) {
    printJson(QJsonObject{{"open", true}, {"already", true}});
    return 0;
  }
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return 1;
  // The window's end stays open across its exec.
  const int childEnd = ::dup(ready[1]);
  ::close(ready[1]);
  const bool spawned = spawnWindow(dir, childEnd);
  ::close(childEnd);
  const std::string line = spawned ? readLine(ready[0]) : "";
  ::close(ready[0]);
  if (line == "ok" || line == "already open") {
    printJson(QJsonObject{{"open", true}, {"already", line != "ok"}});
    return 0;
  }
  std::fprintf(stderr, "simctl open: %s\n",
               line.empty() ? ("the window did not come up; see " + (dir / "var/log/device-window.log").string()).c_str()
                            : line.c_str());
  return 1;
}

int serve(const fs::path& dirArg, const Args& args) {
  const auto dir = deviceDir(dirArg);
  if (args.size() == 1 && args[0] == "--stop") {
    if (!runningProcess(dir, kServeProgram)) {
      std::fprintf(stderr, "simctl serve: the device is not served\n");
      return 1;
    }
    stopProcess(dir, kServeProgram);
    printJson(QJsonObject{{"served", false}});
    return 0;
  }
  // The server runs in simctl's place, in the foreground: Ctrl+C ends it.
  const std::string program = builtProgram(kServeProgram).string(), folder = dir.string();
  std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(folder.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  std::fprintf(stderr, "simctl serve: cannot start %s: %s\n", program.c_str(), std::strerror(errno));
  return 1;
}

}  // namespace simctl
