// The gate every HTTP request of the browser server passes before Qt's HTTP
// server sees it: the token, the size of the request's head, no body, and
// for the WebSocket the page's own Origin. The page only ever GETs, so a
// connection's bytes are heads alone until the WebSocket takes it over.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace device_serve {

// The largest request head (request line and headers) taken.
inline constexpr qsizetype kMaxHeadBytes = 16 * 1024;

struct Verdict {
  int status = 0;  // 0: passed; else the HTTP status refusing it
  const char* why = "";
  bool upgrade = false;  // a WebSocket handshake: the rest is the socket's
};

// Equal, in a time that does not depend on where they differ.
bool sameSecret(QByteArrayView a, QByteArrayView b);

// One complete head, up to and without its blank line. Its target must lie
// under /TOKEN/; a WebSocket handshake's Origin must be the page's own
// (http:// and the Host it was asked of).
Verdict judgeHead(QByteArrayView head, QByteArrayView token);

// A connection's bytes as they come: each head judged once complete. The
// first refusal, or the upgrade, ends the gate's work on the connection.
class HeadStream {
 public:
  explicit HeadStream(QByteArray token) : token_(std::move(token)) {}
  Verdict feed(QByteArrayView bytes);
  bool done() const { return done_; }

 private:
  QByteArray token_;
  QByteArray partial_;
  bool done_ = false;
};

}  // namespace device_serve
