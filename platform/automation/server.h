// The server end of a process's control channel: DEVICE/run/PROCESS.sock,
// reachable only by the user the process runs as, one JSON request per line
// and one JSON answer per line, for the verbs of one table. A connection's
// requests are answered in order, one at a time; a handler that answers
// later (a wait) holds back that connection's next request, never another's.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/automation/typed_json.h"
#include "platform/automation/verbs.h"
#include "platform/foundation/error.h"

namespace platform::automation {

// Longest request line (with its line feed), and most connections served at
// once; beyond them a request is answered with an error.
inline constexpr qsizetype kMaxLine = 64 * 1024;
inline constexpr int kMaxConnections = 32;
// Most connections of one process at once: requests one process holds open
// (waits) never take every connection from the others.
inline constexpr int kMaxConnectionsPerProcess = 8;
// Answers a client may leave unread beyond what the kernel holds; past them
// its requests are not read until it reads, so a client that only sends
// cannot grow the process.
inline constexpr int kMaxUnreadAnswers = 4;

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

// The answer to one request, given once, at once or later from a timer or a
// signal. An answer whose client has left is dropped.
class Responder {
 public:
  struct State;  // the server's
  explicit Responder(std::shared_ptr<State> state) : state_(std::move(state)) {}
  void operator()(const QJsonObject& answer) const;
  // The answer with an open descriptor beside it (SCM_RIGHTS), duplicated
  // into the client; a busy error instead while the client has answers
  // unread.
  void operator()(const QJsonObject& answer, int descriptor) const;
  // The process at the other end, as the kernel saw it connect; 0 once gone.
  qint64 peerPid() const;
  // The answer is still wanted: not given yet, and its client still there.
  bool wanted() const;
  // An object that lives while the client does: the parent for the timers
  // of a later answer, which then stop when the client leaves.
  QObject* context() const;

 private:
  std::shared_ptr<State> state_;
};

// The answer to a typed verb's request, given once: the answer's type, or
// a refusal {"error", "code"}.
template <class Answer>
class TypedResponder {
 public:
  explicit TypedResponder(Responder answer) : answer_(std::move(answer)) {}
  void operator()(const Answer& answer) const { answer_(toJson(answer)); }
  void operator()(const Answer& answer, int descriptor) const { answer_(toJson(answer), descriptor); }
  void refuse(const QJsonObject& refusal) const { answer_(refusal); }
  bool wanted() const { return answer_.wanted(); }
  qint64 peerPid() const { return answer_.peerPid(); }
  QObject* context() const { return answer_.context(); }

 private:
  Responder answer_;
};

// A handler gets a request whose arguments the table has already checked.
using Handler = std::function<QJsonObject(const QJsonObject& request)>;
// A handler that answers later through `answer`; it must not wait inside.
using LaterHandler = std::function<void(const QJsonObject& request, Responder answer)>;

class Server {
 public:
  explicit Server(std::span<const Verb> verbs);
  // Stops serving and removes the socket file.
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Serves `verb`, which the table declares.
  void on(std::string_view verb, Handler handler);
  void onLater(std::string_view verb, LaterHandler handler);
  // The same for a typed verb: a handler whose types are not the verb's
  // does not compile. It answers the answer's type or a refusal.
  template <class Request, class Answer>
  void on(const Typed<Request, Answer>& call,
          std::type_identity_t<std::function<Result<Answer, QJsonObject>(const Request&)>> handler) {
    on(call.verb.name, [handler = std::move(handler)](const QJsonObject& request) {
      auto answer = handler(fromJson<Request>(request));
      return answer ? toJson(*answer) : answer.error();
    });
  }
  template <class Request, class Answer>
  void onLater(const Typed<Request, Answer>& call,
               std::type_identity_t<std::function<void(const Request&, TypedResponder<Answer>)>> handler) {
    onLater(call.verb.name, [handler = std::move(handler)](const QJsonObject& request, Responder answer) {
      handler(fromJson<Request>(request), TypedResponder<Answer>(std::move(answer)));
    });
  }
  // Creates RUN_DIR/PROCESS.sock with mode 0600, replacing the file a dead
  // process left; another live server of that name is left alone. Needs a
  // Qt event loop to serve.
  Result<void, ListenFailure> listen(const std::filesystem::path& runDir, std::string_view process);
  struct Impl;  // opaque

 private:
  std::unique_ptr<Impl> d_;
};

}  // namespace platform::automation
