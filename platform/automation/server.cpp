#include "platform/automation/server.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>

#include "platform/automation/socket_address.h"
#include "platform/foundation/log.h"
#include "platform/foundation/qt_text.h"

namespace platform::automation {
namespace {

QJsonObject error(const char* code, const QString& text) { return QJsonObject{{"error", text}, {"code", code}}; }

QByteArray encode(const QJsonObject& answer) { return QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n'; }

QJsonObject tooLong() {
  return error(code::kTooLong, QString("a request line holds at most %1 bytes").arg(kMaxLine));
}

bool hasType(const QJsonValue& v, Type type) {
  switch (type) {
    case Type::String: return v.isString();
    case Type::Number: return v.isDouble();
    case Type::Bool: return v.isBool();
    case Type::Array: return v.isArray();
  }
  return false;
}

std::optional<QString> checkArguments(const Verb& verb, const QJsonObject& request) {
  static constexpr const char* kTypeNames[] = {"a string", "a number", "true or false", "a list"};
  for (auto it = request.begin(); it != request.end(); ++it) {
    if (it.key() == QLatin1String("verb")) continue;
    auto arg = std::find_if(verb.arguments.begin(), verb.arguments.end(),
                            [&](const Argument& a) { return toQString(a.key) == it.key(); });
    if (arg == verb.arguments.end()) return "unknown argument '" + it.key() + "'";
    if (!hasType(it.value(), arg->type))
      return "'" + it.key() + "' must be " + kTypeNames[static_cast<int>(arg->type)];
  }
  for (const Argument& a : verb.arguments)
    if (a.need == Need::Required && !request.contains(toQString(a.key)))
      return "'" + toQString(a.key) + "' is required";
  return std::nullopt;
}

qint64 sendWithDescriptor(int socket, const QByteArray& bytes, int descriptor) {
  iovec data{const_cast<char*>(bytes.constData()), static_cast<size_t>(bytes.size())};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(header), &descriptor, sizeof(int));
  ssize_t n;
  while ((n = ::sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT)) < 0 && errno == EINTR) {
  }
  return n;
}

// One accepted client. It lives as long as its socket, whose signal
// connections hold it; answers hold it only weakly.
struct Connection {
  QPointer<QLocalSocket> socket;
  Server::Impl* server = nullptr;  // alive while the socket is: its parent
  bool awaiting = false;           // the request being served has no answer yet
  bool serving = false;            // inside Impl::serve
  std::deque<qint64> unsent;       // sizes of the answers not all handed to the kernel
  qint64 unsentBytes = 0;
  pid_t peer = 0;

  bool open() const { return socket && socket->state() == QLocalSocket::ConnectedState; }

  void write(const QJsonObject& answer, int descriptor = -1) {
    if (!open()) return;
    QByteArray bytes = encode(answer);
    if (descriptor >= 0) {
      // The descriptor travels with the line's first bytes, sent here
      // rather than through Qt's buffer, once that is empty.
      socket->flush();
      if (socket->bytesToWrite() > 0) {
        bytes = encode(error(code::kBusy, "answers are left unread; read them and ask again"));
      } else {
        const qint64 sent = sendWithDescriptor(static_cast<int>(socket->socketDescriptor()), bytes, descriptor);
        if (sent < 0) bytes = encode(error(code::kBusy, QString("cannot hand over: ") + std::strerror(errno)));
        else bytes = bytes.mid(sent);
        if (bytes.isEmpty()) return;
      }
    }
    socket->write(bytes);
    // Now rather than from the event loop, which a quitting process leaves.
    socket->flush();
    unsent.push_back(bytes.size());
    unsentBytes += bytes.size();
  }

  // How many answers the client has left unread beyond what the kernel took.
  int unread() {
    const qint64 left = socket->bytesToWrite();
    while (!unsent.empty() && unsentBytes - unsent.front() >= left) {
      unsentBytes -= unsent.front();
      unsent.pop_front();
    }
    return static_cast<int>(unsent.size());
  }
};

}  // namespace

struct Responder::State {
  std::weak_ptr<Connection> connection;
  bool answered = false;
};

// How long a listener out of descriptors rests before it accepts again.
constexpr int kAcceptPauseMs = 250;

struct Server::Impl {
  std::span<const Verb> verbs;
  std::map<std::string, LaterHandler, std::less<>> handlers;
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

  // Answers `line` through `answer`, at once for a request the table refuses.
  void dispatch(const QByteArray& line, const Responder& answer) const {
    if (line.size() > kMaxLine) return answer(tooLong());
    auto doc = QJsonDocument::fromJson(line);
    if (!doc.isObject()) return answer(error(code::kNotJson, "a request is one JSON object on one line"));
    const QJsonObject request = doc.object();
    const std::string name = request.value("verb").toString().toStdString();
    const Verb* verb = findVerb(verbs, name);
    auto handler = handlers.find(name);
    if (!verb || handler == handlers.end())
      return answer(error(code::kUnknownVerb, "unknown verb '" + QString::fromStdString(name) + "'"));
    if (auto problem = checkArguments(*verb, request)) return answer(error(code::kBadArgument, *problem));
    handler->second(request, answer);
  }

  void accept() {
    for (;;) {
      int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0 && (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)) {
        // Out of descriptors: the waiting connection stays, and so would
        // the listener's readiness; it is not looked at for a while,
        // instead of at once again and again.
        log("automation: ", address->name(), ": cannot accept: ", std::strerror(errno));
        notifier->setEnabled(false);
        QTimer::singleShot(kAcceptPauseMs, notifier.get(), [this] {
          notifier->setEnabled(true);
          accept();
        });
        return;
      }
      if (fd < 0) return;
      ucred peer{};
      socklen_t size = sizeof peer;
      if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
        log("automation: ", address->name(), ": refused a connection from uid ", peer.uid, ", pid ", peer.pid);
        ::close(fd);
        continue;
      }
      const auto open = connections.findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly);
      const auto ofPeer = std::count_if(open.begin(), open.end(),
                                        [&](QLocalSocket* s) { return s->property("peer").toLongLong() == peer.pid; });
      if (open.size() >= kMaxConnections || ofPeer >= kMaxConnectionsPerProcess) {
        const QByteArray busy = encode(error(code::kBusy, open.size() >= kMaxConnections
                                                               ? "too many connections at once; try again"
                                                               : "too many connections of this process at once"));
        [[maybe_unused]] auto sent = ::send(fd, busy.constData(), static_cast<size_t>(busy.size()), MSG_NOSIGNAL);
        ::close(fd);
        continue;
      }
      auto* socket = new QLocalSocket(&connections);
      // Bounds what an endless line, or requests held back, can take.
      socket->setReadBufferSize(kMaxLine);
      if (!socket->setSocketDescriptor(fd)) {
        ::close(fd);
        delete socket;
        continue;
      }
      socket->setProperty("peer", static_cast<qlonglong>(peer.pid));
      auto c = std::make_shared<Connection>();
      c->socket = socket;
      c->server = this;
      c->peer = peer.pid;
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [c] { serve(c); });
      // A client that reads again lets its next requests in.
      QObject::connect(socket, &QLocalSocket::bytesWritten, socket, [c] { serve(c); });
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
  }

  // Serves the requests the connection holds, one at a time, until one is
  // answered later or the client has too many answers unread.
  static void serve(const std::shared_ptr<Connection>& c) {
    QLocalSocket* socket = c->socket;
    if (!socket || c->serving) return;
    c->serving = true;
    while (c->open() && !c->awaiting && c->unread() <= kMaxUnreadAnswers && socket->canReadLine()) {
      c->awaiting = true;
      c->server->dispatch(socket->readLine(), Responder(std::make_shared<Responder::State>(Responder::State{c})));
    }
    if (c->open() && !c->awaiting && !socket->canReadLine() && socket->bytesAvailable() >= kMaxLine) {
      c->write(tooLong());
      socket->disconnectFromServer();
    }
    c->serving = false;
  }
};

void Responder::operator()(const QJsonObject& answer) const { (*this)(answer, -1); }

void Responder::operator()(const QJsonObject& answer, int descriptor) const {
  if (state_->answered) return;
  state_->answered = true;
  auto c = state_->connection.lock();
  if (!c || !c->socket) return;
  c->write(answer, descriptor);
  c->awaiting = false;
  // An answer given later lets the connection's next request in; one given
  // inside the handler returns to the loop that serves them.
  if (!c->serving)
    QMetaObject::invokeMethod(c->socket, [weak = std::weak_ptr<Connection>(c)] {
      if (auto live = weak.lock()) Server::Impl::serve(live);
    }, Qt::QueuedConnection);
}

qint64 Responder::peerPid() const {
  auto c = state_->connection.lock();
  return c && c->open() ? c->peer : 0;
}

bool Responder::wanted() const {
  auto c = state_->connection.lock();
  return !state_->answered && c && c->open();
}

QObject* Responder::context() const {
  auto c = state_->connection.lock();
  return c ? c->socket.data() : nullptr;
}

Server::Server(std::span<const Verb> verbs) : d_(std::make_unique<Impl>()) { d_->verbs = verbs; }

Server::~Server() = default;

void Server::on(std::string_view verb, Handler handler) {
  onLater(verb, [handler = std::move(handler)](const QJsonObject& request, Responder answer) {
    answer(handler(request));
  });
}

void Server::onLater(std::string_view verb, LaterHandler handler) {
  if (findVerb(d_->verbs, verb)) d_->handlers[std::string(verb)] = std::move(handler);
  else log("automation: '", verb, "' is not a verb of this process's table");
}

Result<void, ListenFailure> Server::listen(const std::filesystem::path& runDir, std::string_view process) {
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
  return {};
}

}  // namespace platform::automation
