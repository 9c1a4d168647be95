// The home-screen process's control interface for simctl: one local socket
// per device, one JSON request per line, one JSON answer per line.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QLocalServer>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>

namespace host {

class SpringBoard;

// The socket's name in the abstract namespace, derived from the device
// folder, so that any folder path length works and nothing is left behind.
QString controlSocketName(const std::filesystem::path& root);

class ControlServer {
 public:
  explicit ControlServer(SpringBoard& board);
  ~ControlServer();
  bool listen(const std::filesystem::path& root);
  // Answers one request; also used directly by tests.
  QJsonObject handle(const QJsonObject& request);

 private:
  SpringBoard& board_;
  std::unique_ptr<QLocalServer> server_;
};

// Sends one request to a device's home-screen process and waits up to
// `timeoutMs` for the answer; nothing when the process is not reachable.
std::optional<QJsonObject> controlRequest(const std::filesystem::path& root, const QJsonObject& request,
                                          int timeoutMs = 10000);

}  // namespace host
