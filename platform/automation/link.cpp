#include "platform/automation/link.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QLocalSocket>
#include <cerrno>
#include <cstring>

#include "platform/automation/socket_address.h"
#include "platform/foundation/log.h"

namespace platform::automation {

Link::Link(std::filesystem::path socketFile, QObject* parent)
    : QObject(parent), socketFile_(std::move(socketFile)), name_(socketFile_.stem().string()) {}

Link::~Link() = default;

Result<void, std::string> Link::open() {
  if (isOpen()) return {};
  auto address = SocketAddress::of(socketFile_);
  if (!address) return "cannot reach " + socketFile_.string();
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  // A local connect completes at once or fails: the process listens, or not.
  if (fd < 0 || ::connect(fd, address->get(), address->size()) != 0) {
    std::string why = socketFile_.string() + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return why;
  }
  if (socket_) {
    // Possibly inside its own signal: it goes once that returns.
    socket_->disconnect(this);
    socket_->deleteLater();
  }
  pending_.clear();
  socket_ = new QLocalSocket(this);
  socket_->setSocketDescriptor(fd);
  connect(socket_, &QLocalSocket::readyRead, this, &Link::read);
  connect(socket_, &QLocalSocket::disconnected, this, [this] {
    pending_.clear();
    if (onClosed) onClosed();
  });
  return {};
}

bool Link::isOpen() const { return socket_ && socket_->state() == QLocalSocket::ConnectedState; }

void Link::send(const QJsonObject& request, Answer answer) {
  if (auto opened = open(); !opened) {
    log(name_, ": not asked to ", request["verb"].toString().toStdString(), ": ", opened.error());
    return;
  }
  socket_->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
  pending_.push_back(std::move(answer));
}

void Link::read() {
  QLocalSocket* from = socket_;
  while (from == socket_ && socket_->canReadLine()) {
    const QJsonObject answer = QJsonDocument::fromJson(socket_->readLine()).object();
    if (pending_.empty()) continue;
    Answer next = std::move(pending_.front());
    pending_.pop_front();
    if (next) next(answer);
    else if (answer.contains("error")) log(name_, ": ", answer["error"].toString().toStdString());
  }
}

}  // namespace platform::automation
