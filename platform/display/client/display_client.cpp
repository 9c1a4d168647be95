#include "platform/display/client/display_client.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace platform::display {
namespace fs = std::filesystem;

namespace {
constexpr const char* kSocketName = "display.wayland";

// run/ is a folder of this user's alone, not a link.
bool ownedRunFolder(const fs::path& run) {
  struct stat st {};
  return ::lstat(run.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}
}  // namespace

bool served(const fs::path& deviceRoot) {
  struct stat st {};
  const fs::path run = deviceRoot / "run";
  return ownedRunFolder(run) && ::lstat((run / kSocketName).c_str(), &st) == 0 && S_ISSOCK(st.st_mode) &&
         st.st_uid == ::geteuid();
}

void becomeHeadless(const fs::path& deviceRoot) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const fs::path run = deviceRoot / "run";
  if (!std::getenv("XDG_RUNTIME_DIR") && ownedRunFolder(run)) ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
}

void becomeClient(const fs::path& deviceRoot) {
  const fs::path run = deviceRoot / "run";
  std::string socket = (run / kSocketName).string();
  // An address holds 107 bytes; a deeper device is reached through a
  // descriptor of its run/ folder that this process keeps.
  if (socket.size() >= sizeof(sockaddr_un::sun_path)) {
    int folder = ::open(run.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    socket = "/proc/self/fd/" + std::to_string(folder) + "/" + kSocketName;
  }
  ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
  ::setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "wayland;offscreen", 1);
  ::setenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1", 1);
}

}  // namespace platform::display
