// Starting and stopping a device's processes: its display and its home
// screen.
#pragma once

#include <sys/types.h>

#include <QJsonObject>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/client.h"

namespace simctl {

// How long simctl waits for the home-screen process to come up or to
// answer: SIMCTL_TIMEOUT seconds, 20 by default.
int timeoutMs();
// One request to the device's home-screen process.
platform::automation::Reply ask(const std::filesystem::path& dir, const QJsonObject& request,
                                int timeoutMs = simctl::timeoutMs());
// Says on standard error why a request to `process` got no answer.
void reportFailure(platform::automation::Failure failure, std::string_view process = "the home-screen process");

// Creates what the device folder lacks (keeping what it holds) and installs
// the built hook library with its filter into the injection folder.
bool prepareDevice(const std::filesystem::path& dir);
// Starts the home-screen process on the device's bus and waits until it
// answers; its status on success. A process it started that does not come
// up in time is stopped.
std::optional<QJsonObject> startSpringBoard(const std::filesystem::path& dir);
// Asks the home-screen process to quit and waits for it to go; one that
// cannot answer (still starting, hung) is signalled. Only the device's own
// home-screen process is signalled, whatever the pid file says.
void stopSpringBoard(const std::filesystem::path& dir);
// The same for the device's display process, which shows the windows of
// the home screen and the apps (started before them).
std::optional<QJsonObject> startDisplay(const std::filesystem::path& dir);
void stopDisplay(const std::filesystem::path& dir);
// The device's process NAME by its pid file, while it runs.
std::optional<pid_t> runningProcess(const std::filesystem::path& dir, std::string_view name);
// A program built beside simctl.
std::filesystem::path builtProgram(std::string_view program);
// Asks the device's process NAME (its socket and pid file) to quit, as above.
void stopProcess(const std::filesystem::path& dir, std::string_view name);

// The device folder of a verb, made absolute.
std::filesystem::path deviceDir(const std::filesystem::path& dir);

// A program built beside simctl, started in a session of its own, detached
// from simctl (its parent ends at once, so it is nobody's zombie), its output
// appended to `log`. False when it could not be forked.
struct Detached {
  std::string program;
  std::vector<std::string> args;
  std::filesystem::path log;
  mode_t logMode = 0600;
  std::vector<std::pair<std::string, std::string>> environment;
};
bool startDetached(const Detached& start);

void printJson(const QJsonObject& object);

}  // namespace simctl
