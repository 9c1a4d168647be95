// The device in a browser: device-serve DIR [--port N] [--bind ADDR].
// Serves the device's screen as a web page to those who hold the URL it
// prints, until interrupted (SIGINT, SIGTERM: simctl serve DIR --stop).
// simctl serve runs it in its place.
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/file_lock.h"
#include "tools/device_serve/server.h"

namespace fs = std::filesystem;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 0;
  [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}

int fail(const std::string& why) {
  std::fprintf(stderr, "simctl serve: %s\n", why.c_str());
  return 1;
}

// 128 random bits, as 32 hex digits.
QByteArray freshToken() {
  unsigned char bits[16];
  for (size_t got = 0; got < sizeof bits;) {
    const ssize_t n = ::getrandom(bits + got, sizeof bits - got, 0);
    if (n > 0) got += static_cast<size_t>(n);
  }
  return QByteArray(reinterpret_cast<const char*>(bits), sizeof bits).toHex();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: simctl serve DIR [--port N] [--bind ADDR] | simctl serve DIR --stop\n");
    return 2;
  }
  const fs::path root = fs::absolute(argv[1]).lexically_normal();
  QHostAddress bindAt(QHostAddress::LocalHost);
  quint16 port = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 == argc || (arg != "--port" && arg != "--bind")) {
      std::fprintf(stderr, "simctl serve: unexpected argument '%s'\nusage: simctl serve DIR [--port N] [--bind ADDR]\n",
                   arg.c_str());
      return 2;
    }
    const std::string value = argv[++i];
    if (arg == "--port") {
      char* end = nullptr;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end || n < 0 || n > 65535) {
        fail("--port takes a port number, not '" + value + "'");
        return 2;
      }
      port = static_cast<quint16>(n);
    } else if (!bindAt.setAddress(QString::fromStdString(value))) {
      fail("--bind takes an IP address, not '" + value + "'");
      return 2;
    }
  }
  QCoreApplication app(argc, argv);

  namespace display = platform::automation::display;
  auto status =
      platform::automation::request(platform::automation::socketFile(root, display::kProcess), encode(display::kStatusCall, {}), 5000);
  if (!status || status.answer->contains("error"))
    return fail("the device's display is not running (simctl boot " + root.string() + ")");
  const QSize points((*status.answer)["width"].toInt(), (*status.answer)["height"].toInt());
  if (points.isEmpty()) return fail("the device's display did not say its size");

  // One server per device; a second one names the first's address.
  const fs::path run = root / "run";
  auto lock = platform::ExclusiveFileLock::tryAcquire(run / "device-serve.lock");
  if (!lock) {
    auto url = platform::readFile(run / "device-serve.url", 1024);
    return fail("the device is served already" + (url ? " at " + url->substr(0, url->find('\n')) : std::string()));
  }

  const QByteArray token = freshToken();
  device_serve::Server server(root, token, points);
  const auto started = server.start(bindAt, port);
  if (!started) return fail("cannot listen on " + bindAt.toString().toStdString() + ":" + std::to_string(port) + ": " +
                            started.error());
  const quint16 listening = *started;
  if (!bindAt.isLoopback())
    std::fprintf(stderr, "simctl serve: warning: listening on %s, beyond this machine; the token in the URL is the only guard\n",
                 qPrintable(bindAt.toString()));
  if (auto read = server.feed().connectDisplay(); !read) return fail("cannot read the device's display: " + read.error());

  const QString host = bindAt.protocol() == QAbstractSocket::IPv6Protocol ? "[" + bindAt.toString() + "]" : bindAt.toString();
  const std::string url = QString("http://%1:%2/%3/").arg(host).arg(listening).arg(QString::fromLatin1(token)).toStdString();
  // For a second serve to name, and for serve --stop (run/ is the owner's alone).
  if (!platform::replaceAtomically(run / "device-serve.url", url + "\n") ||
      !platform::replaceAtomically(run / "device-serve.pid", std::to_string(::getpid()) + "\n"))
    return fail("cannot write " + run.string() + "/device-serve.pid");
  std::printf("%s\n", url.c_str());
  std::fflush(stdout);

  // Interrupted, or the display ended with the device: the server goes.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return fail("cannot watch for signals");
  QSocketNotifier interrupted(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&interrupted, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  server.feed().onEnded = [] { QCoreApplication::quit(); };
  const int code = app.exec();
  std::error_code ec;
  fs::remove(run / "device-serve.url", ec);
  fs::remove(run / "device-serve.pid", ec);
  return code;
}
