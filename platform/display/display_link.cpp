#include "platform/display/display_link.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QLocalSocket>
#include <cerrno>
#include <cstring>

#include "platform/automation/socket_address.h"

namespace platform::display {

DisplayLink::DisplayLink(std::filesystem::path socketFile, QObject* parent)
    : QObject(parent), socketFile_(std::move(socketFile)) {}

bool DisplayLink::open(std::string* why) {
  auto address = platform::automation::SocketAddress::of(socketFile_);
  if (!address) {
    *why = "cannot reach " + socketFile_.string();
    return false;
  }
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, address->get(), address->size()) != 0) {
    *why = socketFile_.string() + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  delete socket_;
  pending_.clear();
  socket_ = new QLocalSocket(this);
  socket_->setSocketDescriptor(fd);
  connect(socket_, &QLocalSocket::readyRead, this, &DisplayLink::read);
  connect(socket_, &QLocalSocket::disconnected, this, [this] {
    pending_.clear();
    if (onClosed) onClosed();
  });
  return true;
}

bool DisplayLink::isOpen() const { return socket_ && socket_->state() == QLocalSocket::ConnectedState; }

void DisplayLink::send(const QJsonObject& request, Answer answer) {
  if (!isOpen()) return;
  socket_->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
  pending_.push_back(std::move(answer));
}

void DisplayLink::read() {
  while (socket_->canReadLine()) {
    const QJsonObject answer = QJsonDocument::fromJson(socket_->readLine()).object();
    if (pending_.empty()) continue;
    Answer next = std::move(pending_.front());
    pending_.pop_front();
    if (next) next(answer);
  }
}

}  // namespace platform::display
