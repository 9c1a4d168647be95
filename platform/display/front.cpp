#include "platform/display/front.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <cerrno>
#include <cstring>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/automation/socket_address.h"
#include "platform/foundation/log.h"

namespace platform::display {

DisplayRequests::DisplayRequests(std::filesystem::path deviceRoot)
    : socketFile_(automation::socketFile(deviceRoot, automation::display::kProcess)) {}

DisplayRequests::~DisplayRequests() = default;

void DisplayRequests::send(const QJsonObject& request) {
  if (!socket_ || socket_->state() != QLocalSocket::ConnectedState) {
    socket_.reset();
    auto address = automation::SocketAddress::of(socketFile_);
    const int fd = address ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1;
    // A local connect completes at once or fails: the display listens, or not.
    if (fd < 0 || ::connect(fd, address->get(), address->size()) != 0) {
      log("display: not asked to ", request["verb"].toString().toStdString(), ": ", socketFile_.string(), ": ",
          fd < 0 ? "cannot connect" : std::strerror(errno));
      if (fd >= 0) ::close(fd);
      return;
    }
    socket_ = std::make_unique<QLocalSocket>();
    socket_->setSocketDescriptor(fd);
    QLocalSocket* link = socket_.get();
    QObject::connect(link, &QLocalSocket::readyRead, link, [link] {
      while (link->canReadLine()) {
        const QJsonObject answer = QJsonDocument::fromJson(link->readLine()).object();
        if (answer.contains("error")) log("display: ", answer["error"].toString().toStdString());
      }
    });
  }
  socket_->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
}

void DisplayRequests::bringToFront(pid_t pid) {
  send(QJsonObject{{"verb", "front"}, {"pid", static_cast<double>(pid)}});
}

void DisplayRequests::showStatusBar(const std::vector<Area>& areas) {
  QJsonArray list;
  for (const Area& a : areas)
    list.append(QJsonArray{a.rect.x(), a.rect.y(), a.rect.width(), a.rect.height(), a.cornerRadius});
  send(QJsonObject{{"verb", "statusBar"}, {"pid", static_cast<double>(::getpid())}, {"rects", list}});
}

}  // namespace platform::display
