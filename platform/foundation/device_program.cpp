#include "platform/foundation/device_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"

extern char** environ;

namespace platform {
namespace fs = std::filesystem;

namespace {

Error failure(ErrorCode code, int sysErrno, std::string_view devicePath, std::string_view why) {
  Error e{code, sysErrno, std::string(devicePath) + ": " + std::string(why)};
  log("device program ", e.describe());
  return e;
}

// Whether `file`, links followed, lies inside the device root: a link in
// the device may point anywhere on the machine.
bool insideDevice(const fs::path& file) {
  std::error_code ec;
  const fs::path root = fs::canonical(deviceRoot(), ec);
  if (ec) return false;
  const fs::path target = fs::canonical(file, ec);
  if (ec) return false;
  auto [rootEnd, targetAt] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
  return rootEnd == root.end() && targetAt != target.end();
}

}  // namespace

Result<pid_t> startDeviceProgram(std::string_view devicePath, const std::vector<std::string>& arguments) {
  if (devicePath.empty() || devicePath.front() != '/')
    return failure(ErrorCode::NotFound, 0, devicePath, "not an absolute device path");
  const fs::path file = platform::devicePath(devicePath);
  std::error_code ec;
  const auto status = fs::status(file, ec);
  if (!fs::exists(status)) return failure(ErrorCode::NotFound, ENOENT, devicePath, "not installed");
  if (!fs::is_regular_file(status) || !insideDevice(file))
    return failure(ErrorCode::NotRegularFile, 0, devicePath, "not a program file of the device");
  if (::access(file.c_str(), X_OK) != 0) return failure(ErrorCode::Unreadable, errno, devicePath, "not executable");

  // Made before fork: between fork and exec only async-signal-safe calls.
  std::string program = file.string();
  std::vector<std::string> words = arguments;
  std::vector<char*> argv{program.data()};
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  sigset_t none;
  sigemptyset(&none);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  // Left without a word by a successful exec; otherwise it carries errno.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return failure(ErrorCode::Unreadable, errno, devicePath, "no pipe");
  int pidPipe[2];
  if (::pipe2(pidPipe, O_CLOEXEC) != 0) {
    ::close(report[0]);
    ::close(report[1]);
    return failure(ErrorCode::Unreadable, errno, devicePath, "no pipe");
  }

  const pid_t middle = ::fork();
  const int forkErrno = errno;
  if (middle == 0) {
    // The second fork leaves the program to init once it ends.
    const pid_t child = ::fork();
    if (child == 0) {
      for (int s : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD}) ::sigaction(s, &byDefault, nullptr);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      const unsigned keep = static_cast<unsigned>(report[1]);
      if (keep > 3) ::close_range(3, keep - 1, 0);
      ::close_range(keep + 1, ~0U, 0);
      ::execve(argv[0], argv.data(), environ);
      int e = errno;
      [[maybe_unused]] auto n = ::write(report[1], &e, sizeof e);
      ::_exit(127);
    }
    [[maybe_unused]] auto n = ::write(pidPipe[1], &child, sizeof child);
    ::_exit(child < 0 ? 1 : 0);
  }
  ::close(report[1]);
  ::close(pidPipe[1]);
  pid_t child = -1;
  int childErrno = 0;
  if (middle > 0) {
    ::waitpid(middle, nullptr, 0);
    if (::read(pidPipe[0], &child, sizeof child) != static_cast<ssize_t>(sizeof child)) child = -1;
    ssize_t n;
    do n = ::read(report[0], &childErrno, sizeof childErrno);
    while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(sizeof childErrno)) childErrno = 0;
  } else {
    childErrno = forkErrno;
  }
  ::close(report[0]);
  ::close(pidPipe[0]);
  if (middle < 0 || child < 0 || childErrno != 0)
    return failure(ErrorCode::Unreadable, childErrno, devicePath, "cannot be started");
  return child;
}

}  // namespace platform
