#include "platform/display/client_gate.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-server-core.h>

#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/automation/socket_address.h"
#include "platform/foundation/log.h"

namespace platform::display {

struct ClientGate::Client {
  wl_listener gone;  // first: the listener is the client's entry
  ClientGate* gate;
  pid_t pid;
};

ClientGate::~ClientGate() {
  notifier_.reset();
  if (listener_ < 0) return;
  if (auto address = automation::SocketAddress::of(file_)) ::unlinkat(address->folder(), address->name().c_str(), 0);
  ::close(listener_);
  // Clients outliving the gate (the display ends) no longer report to it.
  for (Client* c : clients_) {
    wl_list_remove(&c->gone.link);
    delete c;
  }
}

Result<void, std::string> ClientGate::listen(const std::filesystem::path& socketFile, wl_display* display) {
  display_ = display;
  file_ = socketFile;
  auto address = automation::SocketAddress::of(file_);
  if (!address) return "cannot reach " + file_.string();
  // This process alone serves the device's display (it holds display.sock):
  // what a killed one left, or anything planted at the name, goes.
  ::unlinkat(address->folder(), address->name().c_str(), 0);
  listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  // The file takes the socket's mode when bound: owner-only from its first moment.
  if (listener_ < 0 || ::fchmod(listener_, 0600) != 0 || ::bind(listener_, address->get(), address->size()) != 0 ||
      ::listen(listener_, 128) != 0)
    return "cannot listen on " + file_.string() + ": " + std::strerror(errno);
  notifier_ = std::make_unique<QSocketNotifier>(listener_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { accept(); });
  return {};
}

void ClientGate::accept() {
  for (;;) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) pause();
      return;
    }
    ucred peer{};
    socklen_t length = sizeof peer;
    const bool known = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0;
    const long ofPeer = std::count_if(clients_.begin(), clients_.end(), [&](const Client* c) { return c->pid == peer.pid; });
    const char* refused = !known || peer.uid != ::geteuid() ? "of another user"
                          : clients_.size() >= kMaxClients     ? "beyond the most served at once"
                          : ofPeer >= kMaxClientsPerProcess    ? "beyond the most of one process"
                                                               : nullptr;
    wl_client* client = refused ? nullptr : wl_client_create(display_, fd);
    if (!client) {
      if (refused) log("display: refused a client ", refused, " (pid ", peer.pid, ", uid ", peer.uid, ")");
      ::close(fd);
      continue;
    }
    auto* entry = new Client{{}, this, peer.pid};
    entry->gone.notify = [](wl_listener* gone, void*) {
      auto* c = reinterpret_cast<Client*>(gone);
      std::erase(c->gate->clients_, c);
      delete c;
    };
    wl_client_add_destroy_listener(client, &entry->gone);
    clients_.push_back(entry);
  }
}

// Out of descriptors: the waiting connection stays, and so would the
// listener's readiness; it is looked at again after a rest, not at once
// again and again.
void ClientGate::pause() {
  log("display: cannot accept a client: ", std::strerror(errno));
  notifier_->setEnabled(false);
  QTimer::singleShot(kAcceptPauseMs, notifier_.get(), [this] {
    notifier_->setEnabled(true);
    accept();
  });
}

}  // namespace platform::display
