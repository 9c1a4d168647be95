#include "platform/foundation/device_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QString>
#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/foundation/file_io.h"
#include "platform/foundation/file_lock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/process_info.h"
#include "platform/foundation/text.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

// The daemon's arguments after its path; also how a daemon of ours is told
// apart from another process that later got the same pid.
constexpr std::array<const char*, 5> kDaemonArgs = {"--session", "--fork", "--print-address=1", "--print-pid=1",
                                                    "--nopidfile"};

fs::path runDir(const fs::path& root) { return root / "run"; }
fs::path addressFile(const fs::path& root) { return runDir(root) / "bus"; }
fs::path pidFile(const fs::path& root) { return runDir(root) / "bus.pid"; }

std::string readTrimmed(const fs::path& file) {
  auto bytes = readFile(file);
  return bytes ? std::string(trim(*bytes)) : std::string();
}

// Written by atomic replacement so a reader never sees half an address.
bool writeText(const fs::path& file, const std::string& text) {
  if (auto written = replaceAtomically(file, text + "\n"); !written) {
    log("device bus: cannot write ", file.string(), ": ", written.error().describe());
    return false;
  }
  return true;
}

void removeRecords(const fs::path& root) {
  std::error_code ec;
  fs::remove(addressFile(root), ec);
  fs::remove(pidFile(root), ec);
}

// Serialises the device's bus records among the processes of one device, so
// that two callers at once start one daemon, not two.
// When the lock cannot be taken the records are used unguarded, as before.
std::optional<ExclusiveFileLock> lockRecords(const fs::path& root) {
  std::error_code ec;
  fs::create_directories(runDir(root), ec);
  auto lock = ExclusiveFileLock::acquire(runDir(root) / "bus.lock");
  if (!lock) {
    log("device bus: cannot ", lock.error().describe());
    return std::nullopt;
  }
  return std::move(*lock);
}

std::optional<std::string> findInPath(const char* program) {
  const char* path = ::getenv("PATH");
  std::istringstream dirs(path && *path ? path : "/usr/local/bin:/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    if (dir.empty()) continue;
    fs::path candidate = fs::path(dir) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return std::nullopt;
}

struct StartedBus {
  std::string address;
  pid_t pid = 0;
};

// Reads the daemon's two lines (address, pid) from `fd`, giving up after a
// few seconds so a wedged daemon cannot hang the caller.
std::string readDaemonOutput(int fd) {
  std::string out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    char buf[512];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
    if (std::count(out.begin(), out.end(), '\n') >= 2) break;
  }
  return out;
}

std::optional<StartedBus> startDaemon() {
  auto program = findInPath("dbus-daemon");
  if (!program) {
    log("device bus: dbus-daemon is not installed; no bus for the device");
    return std::nullopt;
  }
  // Everything the child needs is prepared before fork: a threaded parent's
  // child may only make async-signal-safe calls.
  std::vector<char*> argv;
  argv.push_back(program->data());
  for (const char* a : kDaemonArgs) argv.push_back(const_cast<char*>(a));
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    log("device bus: pipe: ", std::strerror(errno));
    return std::nullopt;
  }
  pid_t child = ::fork();
  if (child < 0) {
    log("device bus: fork: ", std::strerror(errno));
    ::close(fds[0]);
    ::close(fds[1]);
    return std::nullopt;
  }
  if (child == 0) {
    int devnull = ::open("/dev/null", O_RDONLY);
    if (devnull >= 0) ::dup2(devnull, STDIN_FILENO);
    if (::dup2(fds[1], STDOUT_FILENO) < 0) ::_exit(127);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  const std::string out = readDaemonOutput(fds[0]);
  ::close(fds[0]);
  // With --fork the direct child exits once the daemon is listening.
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }

  std::istringstream lines(out);
  std::string address, pidText;
  std::getline(lines, address);
  std::getline(lines, pidText);
  address = std::string(trim(address));
  pid_t pid = static_cast<pid_t>(std::atol(std::string(trim(pidText)).c_str()));
  if (address.empty() || pid <= 0) {
    log("device bus: dbus-daemon did not start (exit status ", WIFEXITED(status) ? WEXITSTATUS(status) : -1,
        ", output \"", trim(out), "\")");
    if (pid > 0) ::kill(pid, SIGTERM);
    return std::nullopt;
  }
  return StartedBus{address, pid};
}

// True when `pid` is still a daemon started with our arguments; a pid of a
// daemon that died may since belong to anything.
bool isOurDaemon(pid_t pid) {
  auto found = processArguments(pid);
  if (!found) return false;
  const std::vector<std::string>& args = *found;
  if (args.size() != kDaemonArgs.size() + 1 || fs::path(args[0]).filename() != "dbus-daemon") return false;
  for (size_t i = 0; i < kDaemonArgs.size(); ++i)
    if (args[i + 1] != kDaemonArgs[i]) return false;
  return true;
}

}  // namespace

std::string deviceBusAddress(const fs::path& root) { return readTrimmed(addressFile(root)); }

bool busReachable(const std::string& address) {
  if (address.empty()) return false;
  static std::atomic<unsigned> probes{0};
  const QString name = QString("calmora.probe.%1.%2").arg(::getpid()).arg(probes++);
  bool ok = QDBusConnection::connectToBus(QString::fromStdString(address), name).isConnected();
  QDBusConnection::disconnectFromBus(name);
  return ok;
}

std::string ensureDeviceBus(const fs::path& root) {
  auto lock = lockRecords(root);
  const std::string recorded = deviceBusAddress(root);
  if (!recorded.empty() && busReachable(recorded)) return recorded;
  if (!recorded.empty()) log("device bus: the recorded bus ", recorded, " does not answer; replacing it");
  // A recorded daemon that no longer answers has most likely died, and its
  // pid may be someone else's by now: only the records go.
  removeRecords(root);

  if (const char* session = ::getenv("DBUS_SESSION_BUS_ADDRESS"); session && *session) {
    if (busReachable(session)) return writeText(addressFile(root), session) ? std::string(session) : std::string();
    log("device bus: the session bus ", session, " does not answer; starting a private one");
  }

  auto started = startDaemon();
  if (!started) return {};
  if (!writeText(pidFile(root), std::to_string(started->pid)) || !writeText(addressFile(root), started->address)) {
    // Unrecorded, nobody could stop it later.
    ::kill(started->pid, SIGTERM);
    removeRecords(root);
    return {};
  }
  return started->address;
}

void stopDeviceBus(const fs::path& root) {
  auto lock = lockRecords(root);
  const std::string pidText = readTrimmed(pidFile(root));
  if (!pidText.empty()) {
    const pid_t pid = static_cast<pid_t>(std::atol(pidText.c_str()));
    if (pid > 0 && isOurDaemon(pid)) {
      if (::kill(pid, SIGTERM) != 0) log("device bus: cannot stop bus daemon ", pid, ": ", std::strerror(errno));
    } else {
      log("device bus: recorded bus daemon ", pidText, " is not running");
    }
  }
  removeRecords(root);
}

}  // namespace platform
