// killall, installed on each device as /usr/bin/killall:
//   killall [-SIGNAL] NAME...
// ends this device's processes of each NAME (the file name of their
// program) with SIGNAL (a number or a name, TERM by default). The device's
// processes are its home screen (the process run/springboard.pid names,
// when it runs the home-screen program for this device) and the apps that
// home screen launched (its children); no other process is touched,
// whatever its name or arguments. "backboardd",
// the device's user-interface daemon, stands for the whole user interface:
// the home screen restarts (a respring) and the running apps end.
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/automation/client.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/foundation/process_info.h"

namespace fs = std::filesystem;

namespace {

std::optional<int> signalNamed(std::string text) {
  if (text.rfind("SIG", 0) == 0) text.erase(0, 3);
  static constexpr struct {
    const char* name;
    int number;
  } kSignals[] = {{"HUP", SIGHUP}, {"INT", SIGINT}, {"QUIT", SIGQUIT}, {"KILL", SIGKILL},
                  {"TERM", SIGTERM}, {"STOP", SIGSTOP}, {"CONT", SIGCONT}, {"USR1", SIGUSR1}, {"USR2", SIGUSR2}};
  for (const auto& s : kSignals)
    if (text == s.name) return s.number;
  char* end = nullptr;
  long n = std::strtol(text.c_str(), &end, 10);
  if (!text.empty() && !*end && n > 0 && n < NSIG) return static_cast<int>(n);
  return std::nullopt;
}

// A process started as PROGRAM DEVICE_ROOT, as the home screen and the
// apps are, with a program of that name.
bool startedFor(pid_t pid, const std::string& name, const fs::path& root) {
  std::error_code ec;
  std::string exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec).filename().string();
  if (ec) return false;
  // A program replaced since it started reads as "NAME (deleted)".
  if (auto cut = exe.find(" (deleted)"); cut != std::string::npos) exe.erase(cut);
  if (exe != name) return false;
  auto args = platform::processArguments(pid);
  return args && args->size() == 2 && fs::path((*args)[1]).is_absolute() && fs::equivalent((*args)[1], root, ec);
}

// The device's running home screen; nothing when its pid file is missing
// or names a process that is not the home screen of this device (a stale
// file whose pid was reused).
std::optional<pid_t> homeScreen(const fs::path& root) {
  auto pid = platform::readPidFile(root / "run" / "springboard.pid");
  if (!pid || !startedFor(*pid, "springboard", root)) return std::nullopt;
  return pid;
}

// A process this device started: its home screen, or an app that home
// screen launched. A process of the user's named alike, even one given the
// device's folder as its argument, is neither.
bool isDeviceProcess(pid_t pid, const std::string& name, const fs::path& root, pid_t home) {
  if (!startedFor(pid, name, root)) return false;
  return pid == home || platform::parentProcess(pid) == home;
}

// Signals every process of the device named `name`; how many there were.
// The process is held by a pidfd while it is checked, so a pid that ends and
// is reused meanwhile is never signalled.
int signalAll(const std::string& name, int signal, const fs::path& root) {
  int count = 0;
  const auto home = homeScreen(root);
  if (!home) return 0;
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (entry.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(entry));
    if (pid == ::getpid() || !isDeviceProcess(pid, name, root, *home)) continue;
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) continue;
    if (isDeviceProcess(pid, name, root, *home) && ::syscall(SYS_pidfd_send_signal, fd, signal, nullptr, 0) == 0) ++count;
    ::close(fd);
  }
  return count;
}

bool respring(const fs::path& root) {
  namespace home_screen = platform::automation::home_screen;
  const std::string_view verb = home_screen::kRespring.name;
  auto reply = platform::automation::request(
      platform::automation::socketFile(root, home_screen::kProcess),
      QJsonObject{{"verb", QString::fromLatin1(verb.data(), static_cast<qsizetype>(verb.size()))}}, 20000);
  return reply && !reply.answer->contains("error");
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1, signal = SIGTERM;
  if (argc > 1 && argv[1][0] == '-') {
    auto s = signalNamed(argv[1] + 1);
    if (!s) {
      std::fprintf(stderr, "killall: unknown signal %s\n", argv[1]);
      return 2;
    }
    signal = *s;
    first = 2;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: killall [-SIGNAL] NAME...\n");
    return 2;
  }
  // This program lives at DEVICE/usr/bin/killall.
  std::error_code ec;
  const fs::path root = fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path().parent_path();
  int status = 0;
  for (int i = first; i < argc; ++i) {
    const std::string name = argv[i];
    const bool ended = name == "backboardd" ? respring(root) : signalAll(name, signal, root) > 0;
    if (!ended) {
      std::fprintf(stderr, "killall: no process found: %s\n", name.c_str());
      status = 1;
    }
  }
  return status;
}
