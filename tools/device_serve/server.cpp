#include "tools/device_serve/server.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFutureWatcher>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "platform/automation/client.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/link.h"
#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_appearance.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_description.h"
#include "tools/device_actions/device_actions.h"
#include "tools/device_serve/frame_tiles.h"
#include "tools/device_serve/key_map.h"
#include "tools/device_serve/request_gate.h"

namespace device_serve {
namespace home_screen = platform::automation::home_screen;

namespace {

void say(const QString& line) { std::fprintf(stderr, "device-serve: %s\n", qPrintable(line)); }

const char* reasonPhrase(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 405: return "Method Not Allowed";
    default: return "Content Too Large";
  }
}

// Takes each connection through the request gate before Qt's HTTP server
// reads it: the gate sees each new byte first (its slot is connected
// first) and answers a refusal itself, leaving nothing for the server.
class GatedListener : public QTcpServer {
 public:
  GatedListener(QByteArray token, QObject* parent) : QTcpServer(parent), token_(std::move(token)) {}

 protected:
  void incomingConnection(qintptr fd) override {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(fd)) {
      delete socket;
      return;
    }
    if (open_ >= kMaxConnections) {
      say("refused a connection from " + socket->peerAddress().toString() + ": too many at once");
      socket->abort();
      socket->deleteLater();
      return;
    }
    ++open_;
    connect(socket, &QObject::destroyed, this, [this] { --open_; });
    auto stream = std::make_shared<HeadStream>(token_);
    auto refused = std::make_shared<bool>(false);
    connect(socket, &QTcpSocket::readyRead, this, [socket, stream, refused] {
      if (*refused) {
        socket->readAll();
        return;
      }
      if (stream->done()) return;
      const Verdict v = stream->feed(socket->peek(socket->bytesAvailable()));
      if (!v.status) return;
      *refused = true;
      say(QString("refused %1 (%2) from %3").arg(v.status).arg(v.why, socket->peerAddress().toString()));
      const QByteArray body = QByteArray(reasonPhrase(v.status)) + "\n";
      socket->readAll();
      socket->write("HTTP/1.1 " + QByteArray::number(v.status) + ' ' + reasonPhrase(v.status) +
                    "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
                    "\r\nConnection: close\r\n\r\n" + body);
      socket->disconnectFromHost();
    });
    // A connection that never finishes its requests, or never reads the
    // refusal, goes; a WebSocket stays.
    QTimer::singleShot(30000, socket, [socket, stream, refused] {
      if (*refused || !stream->done()) socket->abort();
    });
    addPendingConnection(socket);
  }

 private:
  QByteArray token_;
  int open_ = 0;
};

QByteArray resource(const QString& name) {
  QFile file(":/page/" + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

Server::Server(std::filesystem::path root, QByteArray token, QSize points, QObject* parent)
    : QAbstractHttpServer(parent), root_(std::move(root)), token_(std::move(token)), points_(points), feed_(root_) {
  homeScreen_ = new platform::automation::Link(platform::automation::socketFile(root_, home_screen::kProcess), this);
  feed_.onFrame = [this](const QImage& image) { frame(image); };
  connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &Server::welcome);
  // Without the device's bus, the pages still learn what they switch themselves.
  if (const std::string address = platform::deviceBusAddress(root_); !address.empty()) bus_ = platform::makeDBusCenter(address);
  if (bus_) bus_->addObserver(platform::kSoundSignal, [this](const platform::Notification&) { tellSilent(); });
}

Server::~Server() {
  for (auto& v : viewers_)
    if (v.socket) v.socket->abort();
}

platform::Result<quint16, std::string> Server::start(const QHostAddress& at, quint16 port) {
  auto* listener = new GatedListener(token_, this);
  if (!listener->listen(at, port)) {
    std::string why = listener->errorString().toStdString();
    delete listener;
    return why;
  }
  bind(listener);
  return listener->serverPort();
}

bool Server::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  const QString path = request.url().path();
  const QString base = "/" + QString::fromLatin1(token_) + "/";
  if (path == base.chopped(1)) {
    auto responder = makeResponder(request, socket);
    responder.write({{"Location", base.toLatin1()}}, QHttpServerResponder::StatusCode::MovedPermanently);
    return true;
  }
  const QString name = path.startsWith(base) ? path.mid(base.size()) : QString();
  // Taken and left unanswered, the WebSocket's handshake becomes a
  // WebSocket (the gate has checked its origin).
  if (name == "socket" && request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0) return true;
  auto responder = makeResponder(request, socket);
  QByteArray body, type;
  QByteArray disposition;
  if (name.isEmpty()) {
    body = resource("index.html"), type = "text/html; charset=utf-8";
  } else if (name == "page.js") {
    body = resource("page.js"), type = "text/javascript; charset=utf-8";
  } else if (name == "page.css") {
    body = resource("page.css"), type = "text/css; charset=utf-8";
  } else if (name == "screenshot.png" && !shown_.isNull()) {
    // The device's pixels as the display shows them, at its scale.
    QBuffer buffer(&body);
    buffer.open(QIODevice::WriteOnly);
    shown_.save(&buffer, "PNG");
    type = "image/png";
    disposition = "attachment; filename=\"Screenshot " +
                  QDateTime::currentDateTime().toString("yyyy-MM-dd hh.mm.ss").toLatin1() + ".png\"";
  } else {
    responder.write(QByteArray("Not Found\n"), "text/plain", QHttpServerResponder::StatusCode::NotFound);
    return true;
  }
  responder.writeStatusLine();
  responder.writeHeaders({{"Content-Type", type},
                          {"Content-Length", QByteArray::number(body.size())},
                          {"Cache-Control", "no-store"},
                          {"X-Content-Type-Options", "nosniff"},
                          {"Referrer-Policy", "no-referrer"},
                          {"Content-Security-Policy",
                           "default-src 'self'; img-src 'self' blob: data:; connect-src 'self'; frame-ancestors 'none'"}});
  if (!disposition.isEmpty()) responder.writeHeader("Content-Disposition", disposition);
  responder.writeBody(body);
  return true;
}

void Server::missingHandler(const QHttpServerRequest&, QTcpSocket* socket) { socket->disconnectFromHost(); }

void Server::welcome() {
  while (hasPendingWebSocketConnections()) {
    QWebSocket* socket = nextPendingWebSocketConnection().release();
    socket->setParent(this);
    if (socket->requestUrl().path() != "/" + QString::fromLatin1(token_) + "/socket") {
      socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
      socket->deleteLater();
      continue;
    }
    socket->setMaxAllowedIncomingFrameSize(kMaxMessageBytes);
    socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
    connect(socket, &QWebSocket::textMessageReceived, this, [this, socket](const QString& text) { message(socket, text); });
    connect(socket, &QWebSocket::disconnected, this, [this, socket] { drop(socket); });
    viewers_.push_back({socket});
    socket->sendTextMessage(QJsonDocument(deviceInfo()).toJson(QJsonDocument::Compact));
    if (whole_.isEmpty() && !shown_.isNull()) whole_ = frameMessage({}, shown_);
    if (!whole_.isEmpty()) send(viewers_.back(), whole_);
  }
}

QJsonObject Server::deviceInfo() const {
  QJsonArray people, calling, apps;
  for (const auto& p : device_actions::people(root_)) people.append(p.name);
  for (const auto& a : device_actions::callingApps(root_)) calling.append(QJsonObject{{"name", a.name}, {"bundle", a.bundle}});
  for (const auto& a : device_actions::apps(root_)) apps.append(QJsonObject{{"name", a.name}, {"bundle", a.bundle}});
  return QJsonObject{{"type", "device"},
                     {"name", QString::fromStdString(root_.filename().string())},
                     {"width", points_.width()},
                     {"height", points_.height()},
                     {"people", people},
                     {"callingApps", calling},
                     {"apps", apps},
                     {"messagesApp", device_actions::kMessagesBundle},
                     {"silent", platform::readDeviceDescription(root_).silent}};
}

void Server::frame(const QImage& image) {
  if (image.isNull()) return;
  if (encoding_) {
    pending_ = image;
  } else if (viewers_.empty()) {
    shown_ = image;
    whole_.clear();
  } else {
    encode(image);
  }
}

void Server::encode(const QImage& image) {
  encoding_ = true;
  auto* done = new QFutureWatcher<QByteArray>(this);
  connect(done, &QFutureWatcherBase::finished, this, [this, done, image] {
    done->deleteLater();
    const QByteArray changed = done->result();
    // Sent to a copy of the list: a page dropped on the way leaves it.
    auto viewers = viewers_;
    if (!changed.isEmpty())
      for (auto& v : viewers) send(v, changed);
    shown_ = image;
    whole_.clear();
    encoding_ = false;
    if (!pending_.isNull()) frame(std::exchange(pending_, QImage()));
  });
  done->setFuture(QtConcurrent::run([before = shown_, image] { return frameMessage(before, image); }));
}

void Server::send(Viewer& viewer, const QByteArray& frameMessage) {
  if (!viewer.socket) return;
  if (viewer.socket->bytesToWrite() > kMaxQueuedBytes) {
    say("dropped a page that does not read its frames (" + viewer.socket->peerAddress().toString() + ")");
    QWebSocket* socket = viewer.socket;
    drop(socket);
    socket->abort();
    return;
  }
  viewer.socket->sendBinaryMessage(frameMessage);
}

void Server::drop(QWebSocket* socket) {
  std::erase_if(viewers_, [socket](const Viewer& v) { return v.socket == socket || !v.socket; });
  socket->deleteLater();
  rescale();
}

void Server::rescale() {
  int wanted = 1;
  for (const auto& v : viewers_) wanted = std::max(wanted, v.scale);
  if (wanted != feed_.scale()) feed_.setScale(wanted);
}

void Server::tell(QWebSocket* socket, const QJsonObject& message) {
  if (socket) socket->sendTextMessage(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

void Server::notice(QWebSocket* socket, const QString& text) { tell(socket, {{"type", "notice"}, {"text", text}}); }

void Server::tellSilent() {
  const QJsonObject state{{"type", "silent"}, {"on", platform::readDeviceDescription(root_).silent}};
  for (const auto& v : viewers_) tell(v.socket, state);
}

void Server::message(QWebSocket* socket, const QString& text) {
  auto viewer = std::find_if(viewers_.begin(), viewers_.end(), [socket](const Viewer& v) { return v.socket == socket; });
  if (viewer == viewers_.end()) return;
  // A flood past the bound is dropped, so that the device goes on.
  const qint64 now = QDateTime::currentMSecsSinceEpoch() / 1000;
  if (now != viewer->second) viewer->second = now, viewer->messages = 0;
  if (++viewer->messages > kMaxMessagesPerSecond) return;
  const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
  if (!doc.isObject()) return;
  const QJsonObject m = doc.object();
  if (m["type"] == "scale") {
    viewer->scale = m["scale"].toInt() == 2 ? 2 : 1;
    rescale();
    return;
  }
  perform(socket, m);
}

void Server::perform(QWebSocket* socket, const QJsonObject& m) {
  const QString type = m["type"].toString();
  if (type == "finger") {
    const double x = m["x"].toDouble(-1), y = m["y"].toDouble(-1);
    const QString phase = m["phase"].toString();
    if (!std::isfinite(x) || !std::isfinite(y) || (phase != "down" && phase != "move" && phase != "up")) return;
    // The finger stays on the glass.
    const QPointF at(std::clamp(x, 0.0, points_.width() - 1.0), std::clamp(y, 0.0, points_.height() - 1.0));
    feed_.finger(at, phase == "down" ? "down" : phase == "move" ? "move" : "up");
  } else if (type == "wheel") {
    const double x = m["x"].toDouble(-1), y = m["y"].toDouble(-1), delta = m["delta"].toDouble();
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(delta)) return;
    feed_.wheel(QPointF(std::clamp(x, 0.0, points_.width() - 1.0), std::clamp(y, 0.0, points_.height() - 1.0)),
                static_cast<int>(std::clamp(delta, -1200.0, 1200.0)));
  } else if (type == "key") {
    if (auto stroke = keyFor(m["key"].toString())) {
      const bool down = m["down"].toBool();
      feed_.key(stroke->code, down, stroke->shift || m["shift"].toBool(), m["control"].toBool(), m["alt"].toBool());
    }
  } else if (type == "paste") {
    // Typed as keys, as far as the keyboard has them.
    for (const QChar c : m["text"].toString().left(1000)) {
      if (auto stroke = keyFor(c == '\n' ? QString("Enter") : QString(c))) {
        feed_.key(stroke->code, true, stroke->shift);
        feed_.key(stroke->code, false, stroke->shift);
      }
    }
  } else if (type == "home") {
    askHomeScreen(socket, QJsonObject{{"verb", home_screen::kHome.name.data()}});
  } else if (type == "respring") {
    askHomeScreen(socket, QJsonObject{{"verb", home_screen::kRespring.name.data()}});
  } else if (type == "call") {
    const QString caller = m["caller"].toString().trimmed();
    const auto apps = device_actions::callingApps(root_);
    auto through = std::find_if(apps.begin(), apps.end(), [&](const auto& a) { return a.bundle == m["app"].toString(); });
    if (caller.isEmpty() || through == apps.end()) return notice(socket, "A call needs a caller and an app.");
    QPointer<QWebSocket> asker(socket);
    askHomeScreen(socket, device_actions::callRequest(root_, device_actions::people(root_), caller, *through),
                  [asker](const QJsonObject& answer) {
                    tell(asker, {{"type", "note"}, {"text", device_actions::callOutcome(answer)}});
                  });
  } else if (type == "message") {
    if (m["app"].toString().isEmpty()) return notice(socket, "A message needs an app.");
    askHomeScreen(socket, device_actions::messageRequest(m["app"].toString(), m["sender"].toString().trimmed(),
                                                         m["text"].toString()));
  } else if (type == "appearance") {
    const QString style = m["style"].toString();
    if (style != "light" && style != "dark") return;
    if (auto set = platform::setDeviceAppearance(root_, style.toStdString()); !set)
      notice(socket, QString::fromStdString(set.error()));
  } else if (type == "silent") {
    if (auto set = platform::setDeviceSoundSwitch(root_, platform::SoundSwitch::Silent, m["on"].toBool()); !set)
      notice(socket, QString::fromStdString(set.error()));
    tellSilent();
  }
}

// Without waiting, over the one kept-open connection: the answer comes on
// the event loop; a failure is told to the page that asked, and a success
// to `answered`.
void Server::askHomeScreen(QWebSocket* socket, const QJsonObject& request,
                           std::function<void(const QJsonObject&)> answered) {
  if (!homeScreen_->open()) return notice(socket, "The home screen did not answer; is the device running?");
  QPointer<QWebSocket> asker(socket);
  homeScreen_->send(request, [asker, answered = std::move(answered)](const QJsonObject& answer) {
    if (answer.contains("error")) notice(asker, answer["error"].toString());
    else if (answered) answered(answer);
  });
}

}  // namespace device_serve
