#include "tools/simctl/device_control.h"

#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <QJsonDocument>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "common/names.h"
#include "platform/apps/default_apps.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/plist.h"
#include "platform/runtime/loader.h"
#include "platform/springboard/control.h"

namespace simctl {
namespace fs = std::filesystem;

namespace {

fs::path selfDir() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : exe.parent_path();
}

fs::path inDevice(const fs::path& dir, std::string_view phonePath) {
  while (!phonePath.empty() && phonePath.front() == '/') phonePath.remove_prefix(1);
  return dir / fs::path(phonePath);
}

bool installHookLibrary(const fs::path& dir) {
  fs::path built = selfDir().parent_path() / "lib" / "AACalmora.so";
  fs::path folder = inDevice(dir, rt::kInjectionFolder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::ifstream in(built, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "simctl: the hook library is not built: %s\n", built.c_str());
    return false;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Replaced atomically: a running home-screen process keeps the old file
  // mapped, and the next respring loads the new one.
  if (auto err = platform::plist::writeBytesAtomically(folder / "AACalmora.so", bytes)) {
    std::fprintf(stderr, "simctl: cannot install the hook library: %s\n", err->context.c_str());
    return false;
  }
  auto bundles = platform::plist::Value::array();
  bundles.append(platform::plist::Value::string("com.apple.springboard"));
  auto inner = platform::plist::Value::dict();
  inner.set("Bundles", std::move(bundles));
  auto filter = platform::plist::Value::dict();
  filter.set("Filter", std::move(inner));
  return !platform::plist::writeXmlAtomically(folder / "AACalmora.plist", filter.ref());
}

std::optional<pid_t> recordedPid(const fs::path& dir) {
  std::ifstream in(dir / "run" / "springboard.pid");
  long pid = 0;
  if (in >> pid && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0) return static_cast<pid_t>(pid);
  return std::nullopt;
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
  if (!fs::exists(dir / platform::kDeviceDescriptionFile))
    platform::writeDeviceDescription(dir, platform::DeviceDescription{});
  platform::apps::installDefaultApps(dir);
  return installHookLibrary(dir);
}

std::optional<QJsonObject> startSpringBoard(const fs::path& dir) {
  if (auto status = host::controlRequest(dir, QJsonObject{{"verb", "status"}}, 2000)) return status;
  const std::string address = platform::ensureDeviceBus(dir);
  if (address.empty()) {
    std::fprintf(stderr, "simctl: no bus for the device\n");
    return std::nullopt;
  }
  const std::string program = (selfDir() / "springboard").string();
  const std::string logFile = (dir / "var/log/springboard.log").string();
  const std::string root = dir.string();
  pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    ::setsid();
    int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) ::dup2(null, STDIN_FILENO);
    if (fd >= 0) {
      ::dup2(fd, STDOUT_FILENO);
      ::dup2(fd, STDERR_FILENO);
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    // A second fork, so the home-screen process is nobody's zombie.
    if (::fork() == 0) {
      char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(root.c_str()), nullptr};
      ::execv(program.c_str(), argv);
      std::perror("simctl: cannot start springboard");
      ::_exit(127);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto s = host::controlRequest(dir, QJsonObject{{"verb", "status"}}, 1000)) return s;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::fprintf(stderr, "simctl: the home-screen process did not come up; see %s\n", logFile.c_str());
  return std::nullopt;
}

void stopSpringBoard(const fs::path& dir) {
  auto pid = recordedPid(dir);
  host::controlRequest(dir, QJsonObject{{"verb", "quit"}}, 2000);
  if (pid) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::kill(*pid, 0) == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (::kill(*pid, 0) == 0) ::kill(*pid, SIGKILL);
  }
  std::error_code ec;
  fs::remove(dir / "run" / "springboard.pid", ec);
}

}  // namespace simctl
