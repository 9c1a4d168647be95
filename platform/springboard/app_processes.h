// The apps the home screen runs: each is a child process started as
// BUNDLE/EXECUTABLE DEVICE_ROOT (no shell), recorded, reaped and ended here.
// Only children not yet reaped are ever signalled, so a pid the system has
// since given to another program is never touched.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <functional>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/apps/app_registry.h"
#include "platform/foundation/error.h"

class QSocketNotifier;

namespace platform::springboard {

struct AppProcess {
  std::string bundleIdentifier;
  pid_t pid = 0;
  bool running = true;
  // Once ended: the exit status, or the signal that ended it.
  std::optional<int> exitStatus;
  std::optional<int> signal;
};

enum class LaunchError { NotInstalled, NoExecutable, CannotStart };
struct Launched {
  AppProcess process;    // the running app, new or already there
  bool started = false;  // false: it was already running
};
using Launch = Result<Launched, LaunchError>;

class AppProcesses {
 public:
  // Ended apps kept for the listing, most recent last.
  static constexpr size_t kEndedLimit = 50;
  static constexpr std::chrono::milliseconds kGrace{2000};

  // Apps write their output to LOG_DIR/BUNDLE_ID.log.
  AppProcesses(std::filesystem::path deviceRoot, std::filesystem::path logDir);
  // Ends every running app, as a respring does.
  ~AppProcesses();
  AppProcesses(const AppProcesses&) = delete;
  AppProcesses& operator=(const AppProcesses&) = delete;

  // Starts `app` unless it is running already; `app` empty: not installed.
  Launch launch(const std::optional<platform::apps::AppInfo>& app);
  // SIGTERM, then SIGKILL after kGrace; the ended record, or nothing when
  // the app is not running.
  std::optional<AppProcess> terminate(const std::string& bundleIdentifier);
  void terminateAll();
  // Collects the status of children that ended.
  void reap();
  // Running apps in launch order, then the ended ones.
  std::vector<AppProcess> list();
  std::optional<AppProcess> running(const std::string& bundleIdentifier);
  // The outcome of the latest launch, once: how a caller that asked through
  // the runtime (where a hook may sit) learns what happened.
  std::optional<Launch> takeLastLaunch() { return std::exchange(last_, std::nullopt); }
  // The app in front: the one launched (or, running already, brought back)
  // last, while it runs; nothing while the home screen is in front.
  std::optional<std::string> front();
  void bringHomeScreenToFront();
  // Called when the app in front changes: launched, brought back, ended,
  // or the home screen came.
  void setFrontChanged(std::function<void()> changed) { frontChanged_ = std::move(changed); }

 private:
  Launch start(const std::optional<platform::apps::AppInfo>& app);
  void ended(AppProcess& p, int status);
  AppProcess* find(const std::string& bundleIdentifier);
  void waitOrKill(AppProcess& p, std::chrono::steady_clock::time_point deadline);
  // A child's pidfd turns readable when it ends, so that it is reaped then
  // (with an event loop to deliver it); every query reaps as well.
  void watch(pid_t pid);
  void unwatch(pid_t pid);

  std::filesystem::path root_, logDir_;
  std::vector<AppProcess> running_;
  std::deque<AppProcess> ended_;
  std::optional<Launch> last_;
  std::optional<std::string> front_;
  std::function<void()> frontChanged_;
  void setFront(std::optional<std::string> front);
  struct Watch {
    int pidfd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
  };
  std::map<pid_t, Watch> watches_;
};

const char* launchErrorCode(LaunchError e);

}  // namespace platform::springboard
