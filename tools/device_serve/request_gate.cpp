#include "tools/device_serve/request_gate.h"

#include <QList>

namespace device_serve {

bool sameSecret(QByteArrayView a, QByteArrayView b) {
  unsigned char differ = a.size() == b.size() ? 0 : 1;
  for (qsizetype i = 0; i < a.size(); ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i % std::max<qsizetype>(1, b.size())]);
  return differ == 0 && !b.isEmpty();
}

namespace {

// The value of header `name` (lower case), trimmed; empty when absent.
QByteArray header(const QList<QByteArray>& lines, QByteArrayView name) {
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0 && lines[i].left(colon).trimmed().toLower() == name) return lines[i].mid(colon + 1).trimmed();
  }
  return {};
}

bool hasHeader(const QList<QByteArray>& lines, QByteArrayView name) {
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0 && lines[i].left(colon).trimmed().toLower() == name) return true;
  }
  return false;
}

}  // namespace

Verdict judgeHead(QByteArrayView head, QByteArrayView token) {
  const QList<QByteArray> lines = head.toByteArray().split('\n');
  const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
  if (request.size() != 3 || !request[2].startsWith("HTTP/1.") || !request[1].startsWith('/'))
    return {400, "malformed request line"};
  // The token is the target's first segment.
  const QByteArray& target = request[1];
  qsizetype end = target.indexOf('/', 1);
  if (end < 0) end = target.size();
  if (!sameSecret(QByteArrayView(target).sliced(1, end - 1), token)) return {403, "wrong or missing token"};
  const QByteArray length = header(lines, "content-length");
  if ((!length.isEmpty() && length != "0") || hasHeader(lines, "transfer-encoding")) return {413, "a request body"};
  if (request[0] != "GET" && request[0] != "HEAD") return {405, "only GET"};
  if (header(lines, "upgrade").toLower() == "websocket") {
    const QByteArray host = header(lines, "host");
    if (host.isEmpty() || header(lines, "origin") != "http://" + host) return {403, "a WebSocket from another origin"};
    return {0, "", true};
  }
  return {};
}

Verdict HeadStream::feed(QByteArrayView bytes) {
  if (done_) return {};
  partial_.append(bytes);
  for (;;) {
    const qsizetype blank = partial_.indexOf("\r\n\r\n");
    if (blank < 0) break;
    if (blank > kMaxHeadBytes) break;
    Verdict v = judgeHead(QByteArrayView(partial_).first(blank), token_);
    partial_.remove(0, blank + 4);
    if (v.status || v.upgrade) {
      done_ = true;
      partial_.clear();
      return v;
    }
  }
  if (partial_.size() > kMaxHeadBytes) {
    done_ = true;
    partial_.clear();
    return {413, "a request head past its limit"};
  }
  return {};
}

}  // namespace device_serve
