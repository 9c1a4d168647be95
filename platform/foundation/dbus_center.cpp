#include "platform/foundation/dbus_center.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QLocale>
#include <QMap>
#include <QObject>
#include <QThread>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/foundation/log.h"
#include "platform/foundation/observer_list.h"
#include "platform/foundation/qt_text.h"

namespace platform {
namespace {

using StringMap = QMap<QString, QString>;


// Text of one userInfo value as another D-Bus client might send it: numbers
// in their decimal form, booleans as 1 or 0 (as a number's text reads back
// as a boolean), variants unwrapped. Containers have no sensible text.
std::optional<QString> valueText(const QVariant& v, int depth = 0) {
  const int type = v.userType();
  if (type == qMetaTypeId<QDBusVariant>()) {
    if (depth > 8) return std::nullopt;
    return valueText(qvariant_cast<QDBusVariant>(v).variant(), depth + 1);
  }
  if (type == qMetaTypeId<QDBusObjectPath>()) return qvariant_cast<QDBusObjectPath>(v).path();
  if (type == qMetaTypeId<QDBusSignature>()) return qvariant_cast<QDBusSignature>(v).signature();
  switch (type) {
    case QMetaType::QString: return v.toString();
    case QMetaType::Bool: return QString(v.toBool() ? "1" : "0");
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return QString::number(v.toULongLong());
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::LongLong: return QString::number(v.toLongLong());
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QByteArray: return QString::fromUtf8(v.toByteArray());
    default: return std::nullopt;
  }
}

// Answers the notification a Post signal carries, or nullopt with `why` set.
// A Post with a name only carries an empty userInfo.
std::optional<Notification> decodePost(const QDBusMessage& message, std::string& why) {
  const QVariantList args = message.arguments();
  if (args.isEmpty() || args[0].userType() != QMetaType::QString) {
    why = "first argument is not a string (signature \"" + message.signature().toStdString() + "\")";
    return std::nullopt;
  }
  Notification n;
  n.name = args[0].toString().toStdString();
  if (n.name.empty()) {
    why = "the name is empty";
    return std::nullopt;
  }
  if (args.size() < 2) return n;
  if (args[1].userType() != qMetaTypeId<QDBusArgument>()) {
    why = "second argument is not a dictionary (signature \"" + message.signature().toStdString() + "\")";
    return std::nullopt;
  }
  const QDBusArgument map = qvariant_cast<QDBusArgument>(args[1]);
  if (map.currentType() != QDBusArgument::MapType) {
    why = "second argument is not a dictionary (signature \"" + message.signature().toStdString() + "\")";
    return std::nullopt;
  }
  map.beginMap();
  while (!map.atEnd()) {
    map.beginMapEntry();
    const QVariant key = map.asVariant();
    const QVariant value = map.asVariant();
    map.endMapEntry();
    auto keyText = valueText(key);
    auto text = valueText(value);
    if (!keyText || !text) {
      log("DBusCenter: ", n.name, ": dropped userInfo entry ", keyText ? keyText->toStdString() : "?",
          " whose value has no text form");
      continue;
    }
    n.userInfo[keyText->toStdString()] = text->toStdString();
  }
  map.endMap();
  return n;
}

QDBusConnection connectionFor(const std::string& address) {
  const QString name = "calmora.center:" + (address.empty() ? QString("session") : toQString(address));
  QDBusConnection c = address.empty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                                      : QDBusConnection::connectToBus(toQString(address), name);
  if (!c.isConnected()) {
    // A connection of that name may be left over from a bus that has gone
    // since; forget it so a later attempt dials again.
    QDBusConnection::disconnectFromBus(name);
  }
  return c;
}

class PostReceiver;

}  // namespace

struct DBusCenter::State {
  explicit State(QDBusConnection c) : connection(std::move(c)) {}

  QDBusConnection connection;  // a thread-safe handle
  ObserverList observers;
  PostReceiver* receiver = nullptr;  // owned by the center, lives on the main thread
  int delivering = 0;                // touched on the receiver's thread only
};

namespace {

// Receives the Post signals on the thread of QCoreApplication; QtDBus queues
// them to this object's thread in the order they came off the bus.
class PostReceiver : public QObject {
  Q_OBJECT
 public:
  explicit PostReceiver(std::shared_ptr<DBusCenter::State> state) : state_(std::move(state)) {}

 public slots:
  void onPost(const QDBusMessage& message) {
    // A handler may destroy the center, and with it this receiver.
    const auto state = state_;
    std::string why;
    if (auto n = decodePost(message, why)) {
      ++state->delivering;
      state->observers.deliver(*n);
      --state->delivering;
    } else {
      log("DBusCenter: ignored a malformed Post from ", message.service().toStdString(), ": ", why);
    }
  }

 private:
  std::shared_ptr<DBusCenter::State> state_;
};

bool subscribe(QDBusConnection& c, PostReceiver* receiver) {
  return c.connect(QString(), toQString(kCenterPath), toQString(kCenterInterface), toQString(kCenterMember), receiver,
                   SLOT(onPost(QDBusMessage)));
}
}  // namespace

std::shared_ptr<DBusCenter> makeDBusCenter(const std::string& busAddress) {
  static std::once_flag registered;
  std::call_once(registered, [] { qDBusRegisterMetaType<StringMap>(); });

  QDBusConnection c = connectionFor(busAddress);
  if (!c.isConnected()) {
    log("DBusCenter: cannot reach the bus ", busAddress.empty() ? std::string("(session)") : busAddress, ": ",
        c.lastError().message().toStdString());
    return nullptr;
  }
  auto state = std::make_shared<DBusCenter::State>(c);
  auto* receiver = new PostReceiver(state);
  if (auto* app = QCoreApplication::instance()) {
    if (receiver->thread() != app->thread()) receiver->moveToThread(app->thread());
  } else {
    log("DBusCenter: no QCoreApplication yet; observers will not run");
  }
  if (!subscribe(state->connection, receiver)) {
    log("DBusCenter: cannot subscribe to ", kCenterInterface, ".", kCenterMember, " on ",
        busAddress.empty() ? std::string("(session)") : busAddress);
    delete receiver;
    return nullptr;
  }
  state->receiver = receiver;
  std::shared_ptr<DBusCenter> center(new DBusCenter(busAddress, state));
  // The subscription is in place at the bus once a round trip has passed.
  if (!center->sync()) log("DBusCenter: the bus at ", busAddress, " did not answer; posts may not reach it");
  return center;
}

DBusCenter::DBusCenter(std::string address, std::shared_ptr<State> state)
    : address_(std::move(address)), state_(std::move(state)) {}

DBusCenter::~DBusCenter() {
  state_->observers.close();
  PostReceiver* receiver = std::exchange(state_->receiver, nullptr);
  // Without an application (a center kept until static destruction) QtDBus
  // may be gone already; the receiver is left for the process's exit.
  if (!receiver || !QCoreApplication::instance()) return;
  state_->connection.disconnect(QString(), toQString(kCenterPath), toQString(kCenterInterface), toQString(kCenterMember), receiver,
                                SLOT(onPost(QDBusMessage)));
  if (receiver->thread() == QThread::currentThread() && state_->delivering == 0)
    delete receiver;
  else
    receiver->deleteLater();
}

void DBusCenter::post(std::string_view name, const UserInfo& userInfo, Delivery) {
  if (name.empty()) {
    log("DBusCenter: refused a post without a name");
    return;
  }
  QDBusMessage m = QDBusMessage::createSignal(toQString(kCenterPath), toQString(kCenterInterface), toQString(kCenterMember));
  StringMap map;
  for (const auto& [k, v] : userInfo) map.insert(toQString(k), toQString(v));
  m << toQString(name) << QVariant::fromValue(map);
  if (!state_->connection.send(m))
    log("DBusCenter: could not post ", name, ": ", state_->connection.lastError().message().toStdString());
}

NotificationCenter::Token DBusCenter::addObserver(std::string_view name, Handler handler) {
  return state_->observers.add(name, std::move(handler));
}

void DBusCenter::removeObserver(Token token) { state_->observers.remove(token); }

bool DBusCenter::sync() {
  QDBusMessage ping = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                     "org.freedesktop.DBus.Peer", "Ping");
  QDBusMessage reply = state_->connection.call(ping, QDBus::Block, 5000);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    log("DBusCenter: the bus did not answer: ", reply.errorMessage().toStdString());
    return false;
  }
  return true;
}

}  // namespace platform

#include "dbus_center.moc"
