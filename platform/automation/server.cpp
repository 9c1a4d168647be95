#include "platform/automation/server.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "platform/automation/socket_address.h"
#include "platform/foundation/log.h"

namespace platform::automation {
namespace {

QJsonObject error(const char* code, const QString& text) { return QJsonObject{{"error", text}, {"code", code}}; }

QByteArray encode(const QJsonObject& answer) { return QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n'; }

QJsonObject tooLong() {
  return error(code::kTooLong, QString("a request line holds at most %1 bytes").arg(kMaxLine));
}

QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool hasType(const QJsonValue& v, Type type) {
  switch (type) {
    case Type::String: return v.isString();
    case Type::Number: return v.isDouble();
    case Type::Bool: return v.isBool();
  }
  return false;
}

std::optional<QString> checkArguments(const Verb& verb, const QJsonObject& request) {
  static constexpr const char* kTypeNames[] = {"a string", "a number", "true or false"};
  for (auto it = request.begin(); it != request.end(); ++it) {
    if (it.key() == QLatin1String("verb")) continue;
    auto arg = std::find_if(verb.arguments.begin(), verb.arguments.end(),
                            [&](const Argument& a) { return text(a.key) == it.key(); });
    if (arg == verb.arguments.end()) return "unknown argument '" + it.key() + "'";
    if (!hasType(it.value(), arg->type))
      return "'" + it.key() + "' must be " + kTypeNames[static_cast<int>(arg->type)];
  }
  for (const Argument& a : verb.arguments)
    if (a.need == Need::Required && !request.contains(text(a.key))) return "'" + text(a.key) + "' is required";
  return std::nullopt;
}

}  // namespace

struct Server::Impl {
  std::span<const Verb> verbs;
  std::map<std::string, Handler, std::less<>> handlers;
  std::optional<SocketAddress> address;
  int lock = -1;
  int listener = -1;
  std::unique_ptr<QSocketNotifier> notifier;
  QObject connections;  // parent of the accepted sockets

  ~Impl() {
    notifier.reset();
    // The file goes before the lock, so that it is never a successor's.
    if (listener >= 0) {
      ::unlinkat(address->folder(), address->name().c_str(), 0);
      ::close(listener);
    }
    if (lock >= 0) ::close(lock);
  }

  QJsonObject answer(const QByteArray& line) const {
    if (line.size() > kMaxLine) return tooLong();
    auto doc = QJsonDocument::fromJson(line);
    if (!doc.isObject()) return error(code::kNotJson, "a request is one JSON object on one line");
    const QJsonObject request = doc.object();
    const std::string name = request.value("verb").toString().toStdString();
    const Verb* verb = findVerb(verbs, name);
    auto handler = handlers.find(name);
    if (!verb || handler == handlers.end())
      return error(code::kUnknownVerb, "unknown verb '" + QString::fromStdString(name) + "'");
    if (auto problem = checkArguments(*verb, request)) return error(code::kBadArgument, *problem);
    return handler->second(request);
  }

  void accept() {
    for (;;) {
      int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) return;
      ucred peer{};
      socklen_t size = sizeof peer;
      if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
        log("automation: ", address->name(), ": refused a connection from uid ", peer.uid, ", pid ", peer.pid);
        ::close(fd);
        continue;
      }
      if (connections.findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly).size() >= kMaxConnections) {
        const QByteArray busy = encode(error(code::kBusy, "too many connections at once; try again"));
        [[maybe_unused]] auto sent = ::send(fd, busy.constData(), static_cast<size_t>(busy.size()), MSG_NOSIGNAL);
        ::close(fd);
        continue;
      }
      auto* socket = new QLocalSocket(&connections);
      // Bounds what an endless line can take; a full buffer is refused below.
      socket->setReadBufferSize(kMaxLine);
      if (!socket->setSocketDescriptor(fd)) {
        ::close(fd);
        delete socket;
        continue;
      }
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { serve(socket); });
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
  }

  void serve(QLocalSocket* socket) {
    while (socket->canReadLine()) reply(socket, answer(socket->readLine()));
    if (socket->bytesAvailable() >= kMaxLine) {
      reply(socket, tooLong());
      socket->disconnectFromServer();
    }
  }

  static void reply(QLocalSocket* socket, const QJsonObject& answer) {
    socket->write(encode(answer));
    // Now rather than from the event loop, which a quitting process leaves.
    socket->flush();
  }
};

Server::Server(std::span<const Verb> verbs) : d_(std::make_unique<Impl>()) { d_->verbs = verbs; }

Server::~Server() = default;

void Server::on(std::string_view verb, Handler handler) {
  if (findVerb(d_->verbs, verb)) d_->handlers[std::string(verb)] = std::move(handler);
  else log("automation: '", verb, "' is not a verb of this process's table");
}

QJsonObject Server::answer(const QByteArray& line) const { return d_->answer(line); }

std::optional<ListenFailure> Server::listen(const std::filesystem::path& runDir, std::string_view process) {
  const std::filesystem::path file = runDir / (std::string(process) + ".sock");
  auto failure = [&](ListenError code, const char* what) {
    return ListenFailure{code, std::string(what) + " " + file.string() + ": " + std::strerror(errno)};
  };
  if (d_->listener >= 0) return ListenFailure{ListenError::CannotCreate, "already serving " + file.string()};
  std::error_code ec;
  std::filesystem::create_directories(runDir, ec);
  auto address = SocketAddress::of(file);
  if (!address) return failure(ListenError::CannotCreate, "cannot reach");

  // Whoever holds the lock serves the name; a socket file found by the
  // holder is a dead server's and is replaced.
  const std::string lockName = std::string(process) + ".lock";
  // A link planted at the name is not followed, nor anything but a regular file locked.
  int lock = ::openat(address->folder(), lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (lock < 0) return failure(ListenError::CannotCreate, "cannot lock");
  if (struct stat st {}; ::fstat(lock, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(lock);
    return ListenFailure{ListenError::CannotCreate, "cannot lock " + file.string() + ": the lock is not a regular file"};
  }
  if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
    ::close(lock);
    return ListenFailure{ListenError::AlreadyServed, "another process serves " + file.string()};
  }
  ::unlinkat(address->folder(), address->name().c_str(), 0);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  // The file takes the socket's mode when bound: 0600 from its first
  // moment, whatever the umask.
  if (fd < 0 || ::fchmod(fd, 0600) != 0 || ::bind(fd, address->get(), address->size()) != 0 ||
      ::listen(fd, 64) != 0) {
    auto result = failure(ListenError::CannotCreate, "cannot listen on");
    if (fd >= 0) ::close(fd);
    ::close(lock);
    return result;
  }
  d_->address.emplace(std::move(*address));
  d_->lock = lock;
  d_->listener = fd;
  d_->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(d_->notifier.get(), &QSocketNotifier::activated, d_->notifier.get(),
                   [impl = d_.get()] { impl->accept(); });
  return std::nullopt;
}

}  // namespace platform::automation
