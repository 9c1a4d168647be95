#include "platform/springboard/app_processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "platform/automation/home_screen_verbs.h"
#include "platform/foundation/log.h"

extern char** environ;

namespace platform::springboard {
namespace fs = std::filesystem;
namespace code = platform::automation::home_screen::code;

namespace {

struct Spawned {
  pid_t pid = -1;
  int error = 0;  // the errno of a failed start
};

// Starts PROGRAM ROOT with the environment inherited and output to `log`;
// answers once exec succeeded or failed.
Spawned spawn(const fs::path& program, const fs::path& root, const fs::path& log) {
  // Everything the child touches is made before fork: between fork and
  // exec only async-signal-safe calls are allowed in a threaded process.
  std::string prog = program.string(), arg = root.string();
  const std::string logFile = log.string();
  char* argv[] = {prog.data(), arg.data(), nullptr};
  sigset_t none;
  sigemptyset(&none);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  const pid_t parent = ::getpid();
  // Closed by a successful exec; otherwise it carries the exec's errno.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return Spawned{.error = errno};

  const pid_t child = ::fork();
  if (child < 0) {
    int e = errno;
    ::close(report[0]);
    ::close(report[1]);
    return Spawned{.error = e};
  }
  if (child == 0) {
    // An app does not outlive the home screen, however that ends.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD}) ::sigaction(s, &byDefault, nullptr);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW, 0600);
    if (in >= 0) ::dup2(in, STDIN_FILENO);
    if (out >= 0) {
      ::dup2(out, STDOUT_FILENO);
      ::dup2(out, STDERR_FILENO);
    }
    // Nothing of the home screen's (its control socket's lock, bus
    // connections) leaks into the app.
    if (report[1] > 3) ::close_range(3, static_cast<unsigned>(report[1]) - 1, 0);
    ::close_range(static_cast<unsigned>(report[1]) + 1, ~0U, 0);
    ::execve(prog.c_str(), argv, environ);
    int e = errno;
    [[maybe_unused]] auto n = ::write(report[1], &e, sizeof e);
    ::_exit(127);
  }
  ::close(report[1]);
  int childErrno = 0;
  ssize_t n;
  do n = ::read(report[0], &childErrno, sizeof childErrno);
  while (n < 0 && errno == EINTR);
  ::close(report[0]);
  if (n == static_cast<ssize_t>(sizeof childErrno)) {
    ::waitpid(child, nullptr, 0);
    return Spawned{.error = childErrno};
  }
  return Spawned{.pid = child};
}

}  // namespace

const char* launchErrorCode(LaunchError e) {
  switch (e) {
    case LaunchError::NotInstalled: return code::kNotInstalled;
    case LaunchError::NoExecutable: return code::kNoExecutable;
    case LaunchError::CannotStart: return code::kCannotStart;
  }
  return code::kCannotStart;
}

AppProcesses::AppProcesses(fs::path deviceRoot, fs::path logDir)
    : root_(std::move(deviceRoot)), logDir_(std::move(logDir)) {}

AppProcesses::~AppProcesses() { terminateAll(); }

void AppProcesses::watch(pid_t pid) {
  if (!QCoreApplication::instance()) return;
  // Still our unreaped child, so the pidfd is the app's.
  const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) {
    platform::log("springboard: cannot watch pid ", pid, ": ", std::strerror(errno), "; reaped when asked");
    return;
  }
  auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { reap(); });
  watches_[pid] = Watch{fd, std::move(notifier)};
}

void AppProcesses::unwatch(pid_t pid) {
  auto it = watches_.find(pid);
  if (it == watches_.end()) return;
  // Possibly inside its own signal: deleted once that returns.
  it->second.notifier->setEnabled(false);
  it->second.notifier.release()->deleteLater();
  ::close(it->second.pidfd);
  watches_.erase(it);
}

AppProcess* AppProcesses::find(const std::string& bundleIdentifier) {
  auto it = std::find_if(running_.begin(), running_.end(),
                         [&](const AppProcess& p) { return p.bundleIdentifier == bundleIdentifier; });
  return it == running_.end() ? nullptr : &*it;
}

void AppProcesses::ended(AppProcess& p, int status) {
  p.running = false;
  if (WIFEXITED(status)) p.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) p.signal = WTERMSIG(status);
  platform::log("springboard: ", p.bundleIdentifier, " (pid ", p.pid, ") ended",
                p.signal ? " by signal " + std::to_string(*p.signal) : " with status " + std::to_string(p.exitStatus.value_or(-1)));
  if (front_ == p.bundleIdentifier) setFront(std::nullopt);
}

void AppProcesses::reap() {
  for (AppProcess& p : running_) {
    int status = 0;
    pid_t r = ::waitpid(p.pid, &status, WNOHANG);
    if (r == p.pid) ended(p, status);
    // Reaped elsewhere: its status is lost, and the pid must not be signalled.
    else if (r < 0 && errno == ECHILD) p.running = false;
  }
  auto first = std::stable_partition(running_.begin(), running_.end(), [](const AppProcess& p) { return p.running; });
  for (auto it = first; it != running_.end(); ++it) {
    unwatch(it->pid);
    ended_.push_back(std::move(*it));
  }
  running_.erase(first, running_.end());
  while (ended_.size() > kEndedLimit) ended_.pop_front();
}

Launch AppProcesses::launch(const std::optional<platform::apps::AppInfo>& app) {
  last_ = start(app);
  if (*last_) setFront((*last_)->process.bundleIdentifier);
  return *last_;
}

void AppProcesses::bringHomeScreenToFront() { setFront(std::nullopt); }

void AppProcesses::setFront(std::optional<std::string> front) {
  if (front == front_) return;
  front_ = std::move(front);
  if (frontChanged_) frontChanged_();
}

Launch AppProcesses::start(const std::optional<platform::apps::AppInfo>& app) {
  if (!app) return LaunchError::NotInstalled;
  reap();
  if (AppProcess* p = find(app->bundleIdentifier)) return Launched{.process = *p};
  if (app->executable.empty()) return LaunchError::NoExecutable;
  // The identifier names the app's log, pid and socket files.
  if (!platform::apps::isValidBundleIdentifier(app->bundleIdentifier)) {
    platform::log("springboard: the bundle identifier of ", app->bundle.string(), " cannot name a file; not started");
    return LaunchError::CannotStart;
  }
  std::error_code ec;
  fs::create_directories(logDir_, ec);
  auto result = spawn(app->executable, root_, logDir_ / (app->bundleIdentifier + ".log"));
  if (result.pid < 0) {
    platform::log("springboard: cannot start ", app->executable.string(), ": ", std::strerror(result.error));
    return LaunchError::CannotStart;
  }
  AppProcess p{.bundleIdentifier = app->bundleIdentifier, .pid = result.pid};
  running_.push_back(p);
  watch(p.pid);
  platform::log("springboard: started ", p.bundleIdentifier, ", pid ", p.pid);
  return Launched{.process = p, .started = true};
}

void AppProcesses::waitOrKill(AppProcess& p, std::chrono::steady_clock::time_point deadline) {
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t r = ::waitpid(p.pid, &status, WNOHANG);
    if (r == p.pid) return ended(p, status);
    if (r < 0) {
      p.running = false;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Still our unreaped child, so the pid is still the app's.
  ::kill(p.pid, SIGKILL);
  if (::waitpid(p.pid, &status, 0) == p.pid) ended(p, status);
  else p.running = false;
}

std::optional<AppProcess> AppProcesses::terminate(const std::string& bundleIdentifier) {
  reap();
  AppProcess* p = find(bundleIdentifier);
  if (!p) return std::nullopt;
  // A stopped app is continued so that it acts on the request.
  ::kill(p->pid, SIGTERM);
  ::kill(p->pid, SIGCONT);
  waitOrKill(*p, std::chrono::steady_clock::now() + kGrace);
  AppProcess done = *p;
  reap();
  return done;
}

void AppProcesses::terminateAll() {
  reap();
  for (AppProcess& p : running_) {
    ::kill(p.pid, SIGTERM);
    ::kill(p.pid, SIGCONT);
  }
  // One grace period for all of them.
  const auto deadline = std::chrono::steady_clock::now() + kGrace;
  for (AppProcess& p : running_) waitOrKill(p, deadline);
  reap();
}

std::vector<AppProcess> AppProcesses::list() {
  reap();
  std::vector<AppProcess> out(running_.begin(), running_.end());
  out.insert(out.end(), ended_.begin(), ended_.end());
  return out;
}

std::optional<std::string> AppProcesses::front() {
  reap();
  if (front_ && !find(*front_)) front_.reset();
  return front_;
}

std::optional<AppProcess> AppProcesses::running(const std::string& bundleIdentifier) {
  reap();
  if (AppProcess* p = find(bundleIdentifier)) return *p;
  return std::nullopt;
}

}  // namespace platform::springboard
