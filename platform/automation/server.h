// The server end of a process's control channel: DEVICE/run/PROCESS.sock,
// reachable only by the user the process runs as, one JSON request per line
// and one JSON answer per line, for the verbs of one table.
#pragma once

#include <QJsonObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/automation/verbs.h"

namespace platform::automation {

// Longest request line (with its line feed), and most connections served at
// once; beyond them a request is answered with an error.
inline constexpr qsizetype kMaxLine = 64 * 1024;
inline constexpr int kMaxConnections = 32;

// The "code" of an error answer {"error": TEXT, "code": CODE}.
namespace code {
inline constexpr const char* kNotJson = "notJson";
inline constexpr const char* kUnknownVerb = "unknownVerb";
inline constexpr const char* kBadArgument = "badArgument";
inline constexpr const char* kTooLong = "tooLong";
inline constexpr const char* kBusy = "busy";
}  // namespace code

enum class ListenError { AlreadyServed, CannotCreate };
struct ListenFailure {
  ListenError code;
  std::string context;
};

// A handler gets a request whose arguments the table has already checked.
using Handler = std::function<QJsonObject(const QJsonObject& request)>;

class Server {
 public:
  explicit Server(std::span<const Verb> verbs);
  // Stops serving and removes the socket file.
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Serves `verb`, which the table declares.
  void on(std::string_view verb, Handler handler);
  // Creates RUN_DIR/PROCESS.sock with mode 0600, replacing the file a dead
  // process left; another live server of that name is left alone. Needs a
  // Qt event loop to serve.
  std::optional<ListenFailure> listen(const std::filesystem::path& runDir, std::string_view process);
  // The answer to one request line.
  QJsonObject answer(const QByteArray& line) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace platform::automation
