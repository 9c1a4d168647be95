#include "platform/automation/client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <cerrno>
#include <cstring>
#include <chrono>

#include "platform/automation/socket_address.h"

namespace platform::automation {
namespace {

using Clock = std::chrono::steady_clock;

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `events` on the socket until the deadline; false on timeout.
bool await(int fd, short events, Clock::time_point deadline) {
  pollfd p{fd, events, 0};
  int n;
  while ((n = ::poll(&p, 1, remainingMs(deadline))) < 0 && errno == EINTR) {
  }
  return n > 0;
}


// Reads what the socket holds into `in`, and a descriptor sent beside it
// into `descriptor` when asked for one (one handed over unasked is closed).
ssize_t receive(int fd, QByteArray& in, int* descriptor) {
  char buf[1 << 16];
  iovec data{buf, sizeof buf};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(fd, &message, MSG_CMSG_CLOEXEC);
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); n >= 0 && c; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    for (size_t i = 0; i < (c->cmsg_len - CMSG_LEN(0)) / sizeof(int); ++i) {
      int got;
      std::memcpy(&got, CMSG_DATA(c) + i * sizeof(int), sizeof got);
      if (descriptor && *descriptor < 0) *descriptor = got;
      else ::close(got);
    }
  }
  if (n > 0) in.append(buf, n);
  return n;
}

Reply exchange(const std::filesystem::path& file, const QJsonObject& req, int timeoutMs, int* descriptor) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto address = SocketAddress::of(file);
  if (!address) return {std::nullopt, Failure::NotRunning};
  Descriptor s{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
  if (s.fd < 0) return {std::nullopt, Failure::NoAnswer};
  if (::connect(s.fd, address->get(), address->size()) != 0) {
    // A full backlog means a live process that is not accepting.
    if (errno == EAGAIN) return {std::nullopt, Failure::TimedOut};
    return {std::nullopt, errno == EACCES || errno == EPERM ? Failure::NoAnswer : Failure::NotRunning};
  }

  const QByteArray out = QJsonDocument(req).toJson(QJsonDocument::Compact) + '\n';
  for (qsizetype sent = 0; sent < out.size();) {
    ssize_t n = ::send(s.fd, out.constData() + sent, static_cast<size_t>(out.size() - sent), MSG_NOSIGNAL);
    if (n > 0) {
      sent += n;
    } else if (n < 0 && errno == EAGAIN) {
      if (!await(s.fd, POLLOUT, deadline)) return {std::nullopt, Failure::TimedOut};
    } else if (n < 0 && errno != EINTR) {
      return {std::nullopt, Failure::NoAnswer};
    }
  }

  QByteArray in;
  while (!in.contains('\n')) {
    ssize_t n = receive(s.fd, in, descriptor);
    if (n > 0) {
    } else if (n < 0 && errno == EAGAIN) {
      if (!await(s.fd, POLLIN, deadline)) return {std::nullopt, Failure::TimedOut};
    } else if (n == 0 || errno != EINTR) {
      return {std::nullopt, Failure::NoAnswer};
    }
  }
  auto doc = QJsonDocument::fromJson(in.left(in.indexOf('\n')));
  if (!doc.isObject()) return {std::nullopt, Failure::NoAnswer};
  return {doc.object(), Failure::NoAnswer};
}

}  // namespace

std::filesystem::path socketFile(const std::filesystem::path& deviceRoot, std::string_view process) {
  return deviceRoot / "run" / (std::string(process) + ".sock");
}

Reply request(const std::filesystem::path& file, const QJsonObject& req, int timeoutMs) {
  return exchange(file, req, timeoutMs, nullptr);
}

Reply request(const std::filesystem::path& file, const QJsonObject& req, int timeoutMs, int* descriptor) {
  *descriptor = -1;
  Reply reply = exchange(file, req, timeoutMs, descriptor);
  if (!reply && *descriptor >= 0) {
    ::close(*descriptor);
    *descriptor = -1;
  }
  return reply;
}

}  // namespace platform::automation
