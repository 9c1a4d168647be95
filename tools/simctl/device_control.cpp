#include "tools/simctl/device_control.h"

#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <QJsonDocument>
#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "common/names.h"
#include "platform/apps/default_apps.h"
#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/typed_json.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/process_info.h"
#include "platform/runtime/loader.h"
#include "tools/simctl/app_install.h"

namespace simctl {
namespace fs = std::filesystem;
namespace automation = platform::automation;
namespace home_screen = platform::automation::home_screen;

namespace {

fs::path selfDir() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : exe.parent_path();
}

bool installHookLibrary(const fs::path& dir) {
  fs::path built = selfDir().parent_path() / "lib" / "AACalmora.so";
  fs::path folder = platform::devicePath(dir, platform::runtime::kInjectionFolder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  // A sanitizer build of the library is tens of megabytes.
  auto bytes = platform::readFile(built, platform::kMaxLogBytes);
  if (!bytes) {
    std::fprintf(stderr, "simctl: the hook library is not built: %s\n", bytes.error().describe().c_str());
    return false;
  }
  // Replaced atomically: a running home-screen process keeps the old file
  // mapped, and the next respring loads the new one.
  if (auto written = platform::replaceAtomically(folder / "AACalmora.so", *bytes); !written) {
    std::fprintf(stderr, "simctl: cannot install the hook library: %s\n", written.error().describe().c_str());
    return false;
  }
  auto bundles = platform::plist::Value::array();
  bundles.append(platform::plist::Value::string("com.apple.springboard"));
  auto inner = platform::plist::Value::dict();
  inner.set("Bundles", std::move(bundles));
  auto filter = platform::plist::Value::dict();
  filter.set("Filter", std::move(inner));
  if (auto written = platform::plist::writeXmlAtomically(folder / "AACalmora.plist", filter.ref()); !written) {
    std::fprintf(stderr, "simctl: cannot install the hook library's filter: %s\n", written.error().describe().c_str());
    return false;
  }
  return true;
}

// The device's own programs: /usr/bin/killall.
bool installDevicePrograms(const fs::path& dir) {
  const fs::path target = platform::devicePath(dir, "/usr/bin/killall");
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  auto bytes = platform::readFile(selfDir() / "killall", platform::kMaxLogBytes);
  if (!bytes) {
    std::fprintf(stderr, "simctl: killall is not built: %s\n", bytes.error().describe().c_str());
    return false;
  }
  // Replaced atomically: a killall running now keeps its file.
  if (auto written = platform::replaceAtomically(target, *bytes); !written) {
    std::fprintf(stderr, "simctl: cannot install killall: %s\n", written.error().describe().c_str());
    return false;
  }
  fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec, ec);
  return !ec;
}

// True when `pid` is this device's process running `program`: started on
// this folder (its first argument; the window takes options after it). A
// pid file outlives its process, and the pid may since name anything.
bool isDeviceProcess(pid_t pid, const fs::path& dir, std::string_view program) {
  const fs::path proc = "/proc/" + std::to_string(pid);
  std::error_code ec;
  // " (deleted)" follows the name once the program has been rebuilt.
  const std::string exe = fs::read_symlink(proc / "exe", ec).filename().string();
  if (ec || exe.rfind(program, 0) != 0) return false;
  // DIR follows the program's name (device-serve takes options after it).
  auto args = platform::processArguments(pid);
  if (!args || args->size() < 2) return false;
  fs::path root = fs::path((*args)[1]).is_absolute() ? fs::path((*args)[1]) : proc / "cwd" / (*args)[1];
  return fs::equivalent(root, dir, ec);
}

fs::path pidFile(const fs::path& dir, std::string_view name) { return dir / "run" / (std::string(name) + ".pid"); }

// The recorded process when it is still this device's; a record naming
// anything else is removed.
std::optional<pid_t> recordedPid(const fs::path& dir, std::string_view name) {
  if (!fs::exists(pidFile(dir, name))) return std::nullopt;
  auto pid = platform::readPidFile(pidFile(dir, name));
  if (pid && isDeviceProcess(*pid, dir, name)) return pid;
  std::fprintf(stderr, "simctl: %s names pid %ld, which is not this device's %.*s process; removing it\n",
               pidFile(dir, name).c_str(), static_cast<long>(pid.value_or(0)), static_cast<int>(name.size()),
               name.data());
  std::error_code ec;
  fs::remove(pidFile(dir, name), ec);
  return std::nullopt;
}

bool waitUntilGone(pid_t pid, const fs::path& dir, std::string_view name, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (isDeviceProcess(pid, dir, name)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The live processes of this device running `program`, whatever the pid
// file says.
std::vector<pid_t> unrecorded(const fs::path& dir, std::string_view program) {
  std::vector<pid_t> found;
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (entry.empty() || entry.find_first_not_of("0123456789") != std::string::npos) continue;
    const auto pid = static_cast<pid_t>(std::stol(entry));
    if (pid != ::getpid() && isDeviceProcess(pid, dir, program)) found.push_back(pid);
  }
  return found;
}

}  // namespace

fs::path deviceDir(const fs::path& dir) {
  std::error_code ec;
  auto abs = fs::absolute(dir, ec);
  return ec ? dir : abs.lexically_normal();
}

void printJson(const QJsonObject& object) {
  std::fputs(QJsonDocument(object).toJson(QJsonDocument::Compact).constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool prepareDevice(const fs::path& dir) {
  std::error_code ec;
  for (const char* sub : {"run", "var/log", "var/mobile/Library/Preferences", "var/mobile/Library/AddressBook",
                          "Applications"})
    fs::create_directories(dir / sub, ec);
  // run/ is the runtime folder of the device's display clients: owner-only.
  fs::permissions(dir / "run", fs::perms::owner_all, ec);
  // Without the file every process takes the default description.
  if (!fs::exists(dir / platform::kDeviceDescriptionFile))
    if (auto written = platform::writeDeviceDescription(dir, platform::DeviceDescription{}); !written)
      std::fprintf(stderr, "simctl: cannot write the device description: %s\n", written.error().describe().c_str());
  platform::apps::installDefaultApps(dir);
  // The app bundles the build stages beside its programs.
  installBundlesFrom(dir, selfDir().parent_path() / "apps");
  installPanesFrom(dir, selfDir().parent_path() / "panes");
  return installDevicePrograms(dir) && installHookLibrary(dir);
}

int timeoutMs() {
  const char* text = std::getenv("SIMCTL_TIMEOUT");
  double seconds = text ? std::atof(text) : 0;
  return static_cast<int>((seconds > 0 ? seconds : 20) * 1000);
}

automation::Reply ask(const fs::path& dir, const QJsonObject& request, int timeoutMs) {
  return automation::request(automation::socketFile(dir, home_screen::kProcess), request, timeoutMs);
}

void reportFailure(automation::Failure failure, std::string_view process) {
  const int width = static_cast<int>(process.size());
  switch (failure) {
    case automation::Failure::NotRunning:
      std::fprintf(stderr, "simctl: the device is not running (simctl boot DIR)\n");
      break;
    case automation::Failure::TimedOut:
      std::fprintf(stderr, "simctl: timed out: %.*s is running but did not answer within %d ms\n", width,
                   process.data(), timeoutMs());
      break;
    case automation::Failure::NoAnswer:
      std::fprintf(stderr, "simctl: %.*s gave no answer (it refused the connection or ended)\n", width,
                   process.data());
      break;
  }
}

bool startDetached(const Detached& start) {
  const std::string program = (selfDir() / start.program).string(), logFile = start.log.string();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& arg : start.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    // A link planted at the log's name is not followed.
    int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, start.logMode);
    int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) ::dup2(null, STDIN_FILENO);
    if (log >= 0) {
      ::dup2(log, STDOUT_FILENO);
      ::dup2(log, STDERR_FILENO);
    }
    for (const auto& [name, value] : start.environment) ::setenv(name.c_str(), value.c_str(), 1);
    // A second fork, so the process is nobody's zombie.
    if (::fork() == 0) {
      ::execv(program.c_str(), argv.data());
      std::fprintf(stderr, "simctl: cannot start %s: %s\n", program.c_str(), std::strerror(errno));
      ::_exit(127);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return true;
}

namespace {

bool spawn(const fs::path& dir, std::string_view name, const std::string& busAddress) {
  return startDetached({.program = std::string(name),
                        .args = {dir.string()},
                        .log = dir / "var/log" / (std::string(name) + ".log"),
                        .logMode = 0644,
                        .environment = {{"DBUS_SESSION_BUS_ADDRESS", busAddress}}});
}

}  // namespace

namespace {

// Up once it answers its `status` verb.
std::optional<QJsonObject> startProcess(const fs::path& dir, std::string_view name, const automation::Verb& statusVerb,
                                        std::string_view what) {
  const QJsonObject status = requestOf(statusVerb);
  const fs::path socket = automation::socketFile(dir, name);
  auto first = automation::request(socket, status, 2000);
  if (first) return first.answer;
  // A process that is alive but slow is waited for, not doubled.
  const bool start = first.failure != automation::Failure::TimedOut;
  if (start) {
    const std::string address = platform::ensureDeviceBus(dir);
    if (address.empty()) {
      std::fprintf(stderr, "simctl: no bus for the device\n");
      return std::nullopt;
    }
    if (!spawn(dir, name, address)) return std::nullopt;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs());
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto s = automation::request(socket, status, 1000)) return s.answer;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::fprintf(stderr, "simctl: %.*s did not come up within %d ms; see %s\n", static_cast<int>(what.size()),
               what.data(), timeoutMs(), (dir / "var/log" / (std::string(name) + ".log")).c_str());
  // Left behind, it would come up later without its bus.
  if (start) stopProcess(dir, name);
  return std::nullopt;
}

}  // namespace

fs::path builtProgram(std::string_view program) { return selfDir() / program; }

std::optional<pid_t> runningProcess(const fs::path& dir, std::string_view name) { return recordedPid(dir, name); }

void stopProcess(const fs::path& dir, std::string_view name) {
  auto pid = recordedPid(dir, name);
  auto answer = automation::request(automation::socketFile(dir, name), requestOf(automation::ui::kQuit), 2000);
  if (pid) {
    // One still starting (or hung) cannot take the request; a stopped one
    // is continued so that it acts on the signal.
    if (!answer) {
      ::kill(*pid, SIGTERM);
      ::kill(*pid, SIGCONT);
    }
    if (!waitUntilGone(*pid, dir, name, std::chrono::seconds(5))) ::kill(*pid, SIGKILL);
  }
  // Others of the device that no record names: a home screen a respring
  // was starting, which would come up after this, or hang as the display
  // it was reaching ends.
  const auto others = unrecorded(dir, name);
  for (pid_t other : others) {
    ::kill(other, SIGTERM);
    ::kill(other, SIGCONT);
  }
  for (pid_t other : others)
    if (!waitUntilGone(other, dir, name, std::chrono::seconds(2))) ::kill(other, SIGKILL);
  std::error_code ec;
  fs::remove(pidFile(dir, name), ec);
}

std::optional<QJsonObject> startSpringBoard(const fs::path& dir) {
  return startProcess(dir, home_screen::kProcess, home_screen::kStatus, "the home-screen process");
}

void stopSpringBoard(const fs::path& dir) { stopProcess(dir, home_screen::kProcess); }

std::optional<QJsonObject> startDisplay(const fs::path& dir) {
  return startProcess(dir, automation::display::kProcess, automation::display::kStatus, "the display process");
}

void stopDisplay(const fs::path& dir) { stopProcess(dir, platform::automation::display::kProcess); }

}  // namespace simctl
