// An app of the device as its own process, driven over its automation
// channel. The one place that starts apps for the tests.
#pragma once

#include <sys/types.h>

#include <QJsonObject>
#include <filesystem>
#include <string>

namespace testsupport {

class AppProcess {
 public:
  // Copies the bundle folder into DEVICE/Applications, starts
  // BUNDLE/EXECUTABLE DEVICE_ROOT and waits (10 s at most) until its
  // channel answers.
  AppProcess(const std::filesystem::path& deviceRoot, const std::filesystem::path& bundle,
             const std::string& bundleIdentifier);
  // Asks the app to quit; kills it if it does not end in time.
  ~AppProcess();
  AppProcess(const AppProcess&) = delete;
  AppProcess& operator=(const AppProcess&) = delete;

  bool ready() const { return ready_; }
  // The answer, or {"code": "noAnswer"} when there was none.
  QJsonObject ask(const QJsonObject& request, int timeoutMs = 15000) const;
  // Sends quit and answers the exit status (-1: it had to be killed).
  int quit();
  // Sends `signal` and answers the raw wait status (-1: it had to be killed).
  int end(int signal);
  pid_t pid() const { return pid_; }

 private:
  std::filesystem::path socket_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace testsupport
