// The kept-open client end of a control channel, for programs with an
// event loop: requests go out at once and nothing waits for their answers,
// which come back in order, each to the callback it was sent with (an error
// answer that has none is logged). It connects when first needed and again
// after the process closed the connection, so a handler that asks stays
// quick whatever the process does. Every kept-open client of a device
// process uses it; tools that ask once use request() (client.h).
#pragma once

#include <QJsonObject>
#include <QObject>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/automation/typed_json.h"
#include "platform/foundation/error.h"

class QLocalSocket;

namespace platform::automation {

class Link : public QObject {
 public:
  using Answer = std::function<void(const QJsonObject&)>;
  explicit Link(std::filesystem::path socketFile, QObject* parent = nullptr);
  ~Link() override;

  // Connects unless connected, or says why it cannot.
  Result<void, std::string> open();
  bool isOpen() const;
  // Sends `request`, connecting first where needed; one the process cannot
  // be reached for is dropped with a line in the log, and its answer never comes.
  void send(const QJsonObject& request, Answer answer = {});
  // The same for a typed verb: its answer, or the refusal.
  template <class Request, class Answer>
  void ask(const Typed<Request, Answer>& call, const Request& request,
           std::type_identity_t<std::function<void(const Result<Answer, QJsonObject>&)>> then = {}) {
    if (!then) return send(encode(call, request));
    send(encode(call, request), [then = std::move(then)](const QJsonObject& answer) {
      if (answer.contains("error")) then(Result<Answer, QJsonObject>(answer));
      else then(Result<Answer, QJsonObject>(fromJson<Answer>(answer)));
    });
  }
  // Called each time an open connection ends.
  std::function<void()> onClosed;

 private:
  void read();
  std::filesystem::path socketFile_;
  std::string name_;  // the process, in log lines
  QLocalSocket* socket_ = nullptr;
  std::deque<Answer> pending_;
};

}  // namespace platform::automation
