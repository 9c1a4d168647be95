#include "platform/springboard/control.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QLocalSocket>

#include <QJsonArray>

#include "platform/foundation/clock.h"
#include "platform/springboard/springboard.h"

namespace host {

QString controlSocketName(const std::filesystem::path& root) {
  std::error_code ec;
  auto canonical = std::filesystem::weakly_canonical(root, ec);
  if (ec) canonical = std::filesystem::absolute(root);
  QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(canonical.string()),
                                             QCryptographicHash::Sha1).toHex().left(16);
  return QStringLiteral("calmora-springboard-") + QString::fromLatin1(hash);
}

ControlServer::ControlServer(SpringBoard& board) : board_(board) {}
ControlServer::~ControlServer() = default;

bool ControlServer::listen(const std::filesystem::path& root) {
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
  if (!server_->listen(controlSocketName(root))) return false;
  QObject::connect(server_.get(), &QLocalServer::newConnection, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        while (socket->canReadLine()) {
          QByteArray line = socket->readLine();
          QJsonParseError err{};
          auto doc = QJsonDocument::fromJson(line, &err);
          QJsonObject answer = doc.isObject() ? handle(doc.object())
                                              : QJsonObject{{"error", QStringLiteral("request is not a JSON object")}};
          socket->write(QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n');
          socket->flush();
          if (answer.value("quit").toBool()) QCoreApplication::quit();
        }
      });
    }
  });
  return true;
}

namespace {
Text optText(const QJsonObject& o, const char* key) {
  auto v = o.value(QLatin1String(key));
  if (v.isString()) return v.toString().toStdString();
  return std::nullopt;
}

CallDescription callFrom(const QJsonObject& r) {
  CallDescription c;
  c.displayName = optText(r, "name");
  c.contactIdentifier = optText(r, "contact");
  if (r.contains("provider")) c.providerName = optText(r, "provider");
  if (r.contains("providerBundle")) c.providerBundleIdentifier = optText(r, "providerBundle");
  c.status = r.value("status").toInteger(4);
  c.incoming = r.value("incoming").toBool(true);
  return c;
}
}  // namespace

QJsonObject ControlServer::handle(const QJsonObject& request) {
  const QString verb = request.value("verb").toString();
  if (verb == "status") return board_.status();
  if (verb == "call") {
    CallDescription call = callFrom(request);
    QString via = request.value("via").toString("event");
    if (via == "both") {
      bool a = board_.deliverCallEvent(call);
      bool b = board_.deliverCallUpdate(call);
      return QJsonObject{{"handedOn", a && b},
                         {"outcomes", QJsonArray{QJsonObject{{"via", "event"}, {"handedOn", a}},
                                                 QJsonObject{{"via", "update"}, {"handedOn", b}}}}};
    }
    if (via == "update") return QJsonObject{{"via", "update"}, {"handedOn", board_.deliverCallUpdate(call)}};
    if (via == "event") return QJsonObject{{"via", "event"}, {"handedOn", board_.deliverCallEvent(call)}};
    return QJsonObject{{"error", "--via takes event, update or both"}};
  }
  if (verb == "bulletin") {
    BulletinDescription b;
    b.section = optText(request, "section");
    b.title = optText(request, "title");
    b.subtitle = optText(request, "subtitle");
    b.message = optText(request, "message");
    if (!request.value("noDate").toBool())
      b.date = static_cast<double>(platform::clock::nowMs()) / 1000.0 - request.value("age").toDouble(0);
    return QJsonObject{{"handedOn", board_.deliverBulletin(b)}};
  }
  if (verb == "appear") {
    board_.appear();
    return QJsonObject{{"ok", true}};
  }
  if (verb == "statusbar") {
    board_.setStatusBar();
    return QJsonObject{{"ok", true}};
  }
  if (verb == "screenshot") {
    QString path = request.value("path").toString();
    bool ok = !path.isEmpty() && board_.screenshot(path.toStdString());
    return QJsonObject{{"ok", ok}, {"path", path}};
  }
  if (verb == "quit") return QJsonObject{{"ok", true}, {"quit", true}};
  return QJsonObject{{"error", QStringLiteral("unknown verb ") + verb}};
}

std::optional<QJsonObject> controlRequest(const std::filesystem::path& root, const QJsonObject& request,
                                          int timeoutMs) {
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(controlSocketName(root));
  if (!socket.waitForConnected(timeoutMs)) return std::nullopt;
  socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
  if (!socket.waitForBytesWritten(timeoutMs)) return std::nullopt;
  QByteArray buffer;
  while (!buffer.contains('\n')) {
    if (!socket.waitForReadyRead(timeoutMs)) return std::nullopt;
    buffer += socket.readAll();
  }
  auto doc = QJsonDocument::fromJson(buffer.left(buffer.indexOf('\n')));
  if (!doc.isObject()) return std::nullopt;
  return doc.object();
}

}  // namespace host
