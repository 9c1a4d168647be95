// The client end of a control channel: one request, one answer.
#pragma once

#include <QJsonObject>
#include <filesystem>
#include <optional>
#include <string_view>

namespace platform::automation {

// DEVICE/run/PROCESS.sock
std::filesystem::path socketFile(const std::filesystem::path& deviceRoot, std::string_view process);

enum class Failure {
  NotRunning,  // nothing listens on the socket
  TimedOut,    // the process accepted the request but did not answer in time
  NoAnswer,    // the connection closed without an answer (refused, or the process ended)
};

struct Reply {
  std::optional<QJsonObject> answer;
  Failure failure = Failure::NoAnswer;  // meaningful without an answer
  explicit operator bool() const { return answer.has_value(); }
};

// Sends `request` and waits up to `timeoutMs` in all for the answer line.
// Blocking and free of any event loop, so it serves tools and forked tests.
Reply request(const std::filesystem::path& socketFile, const QJsonObject& request, int timeoutMs);
// The same, for an answer that hands over a descriptor: it lands in
// `descriptor` (the caller's to close), else -1.
Reply request(const std::filesystem::path& socketFile, const QJsonObject& request, int timeoutMs, int* descriptor);

}  // namespace platform::automation
