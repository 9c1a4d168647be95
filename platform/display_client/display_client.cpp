#include "platform/display_client/display_client.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/automation/socket_address.h"

namespace platform::display {
namespace fs = std::filesystem;

namespace {

// run/ is a folder of this user's alone, not a link.
bool ownedRunFolder(const fs::path& run) {
  struct stat st {};
  return ::lstat(run.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}
}  // namespace

bool served(const fs::path& deviceRoot) {
  struct stat st {};
  const fs::path run = deviceRoot / "run";
  return ownedRunFolder(run) && ::lstat((run / kWaylandSocketName).c_str(), &st) == 0 && S_ISSOCK(st.st_mode) &&
         st.st_uid == ::geteuid();
}

void becomeHeadless(const fs::path& deviceRoot) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const fs::path run = deviceRoot / "run";
  if (!std::getenv("XDG_RUNTIME_DIR") && ownedRunFolder(run)) ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
}

void becomeClient(const fs::path& deviceRoot) {
  const fs::path run = deviceRoot / "run";
  // A deeper device is reached through a descriptor of its run/ folder that
  // this process keeps.
  int folder = -1;
  auto socket = automation::addressPath(run / kWaylandSocketName, folder);
  if (!socket) return;
  ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
  ::setenv("WAYLAND_DISPLAY", socket->c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "wayland;offscreen", 1);
  ::setenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1", 1);
}

}  // namespace platform::display
