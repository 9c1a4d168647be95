#include "platform/process/display_client.h"

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
}

bool served(const fs::path& deviceRoot) {
  struct stat st {};
  const fs::path run = deviceRoot / "run";
  return ::lstat(run.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0 && ::lstat((run / kSocketName).c_str(), &st) == 0 && S_ISSOCK(st.st_mode) &&
         st.st_uid == ::geteuid();
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
