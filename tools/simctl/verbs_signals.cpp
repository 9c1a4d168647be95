// simctl post / listen: the device's distributed notifications from outside.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/log.h"
#include "tools/simctl/verbs.h"

namespace simctl {
namespace {

std::shared_ptr<platform::DBusCenter> deviceCenter(const std::filesystem::path& dir, const char* verb) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    platform::log("simctl ", verb, ": no device at ", dir.string());
    return nullptr;
  }
  std::string address = platform::deviceBusAddress(dir);
  if (address.empty() || !platform::busReachable(address)) address = platform::ensureDeviceBus(dir);
  if (address.empty()) {
    platform::log("simctl ", verb, ": the device at ", dir.string(), " has no bus");
    return nullptr;
  }
  return platform::makeDBusCenter(address);
}

// Written by the signal handler, read by the event loop: the usual self-pipe,
// process-wide because a signal handler can reach nothing else.
int gStopPipe[2] = {-1, -1};

void onStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(gStopPipe[1], &byte, 1);
  errno = saved;
}

std::optional<long> positiveInteger(const std::string& text) {
  try {
    size_t used = 0;
    long v = std::stol(text, &used);
    if (used == text.size() && v > 0) return v;
  } catch (...) {
  }
  return std::nullopt;
}

std::optional<double> positiveSeconds(const std::string& text) {
  try {
    size_t used = 0;
    double v = std::stod(text, &used);
    if (used == text.size() && v > 0 && v < 1e6) return v;
  } catch (...) {
  }
  return std::nullopt;
}

struct ListenOptions {
  std::set<std::string> names;  // empty: every name
  long count = 0;               // 0: until interrupted
  double timeout = 0;           // 0: none
};

std::optional<ListenOptions> parseListen(const Args& args) {
  ListenOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--count" || a == "--timeout") {
      if (i + 1 >= args.size()) {
        platform::log("simctl listen: ", a, " needs a value");
        return std::nullopt;
      }
      const std::string& v = args[++i];
      if (a == "--count") {
        auto n = positiveInteger(v);
        if (!n) {
          platform::log("simctl listen: --count wants a positive whole number, not \"", v, "\"");
          return std::nullopt;
        }
        o.count = *n;
      } else {
        auto s = positiveSeconds(v);
        if (!s) {
          platform::log("simctl listen: --timeout wants a positive number of seconds, not \"", v, "\"");
          return std::nullopt;
        }
        o.timeout = *s;
      }
    } else {
      o.names.insert(a);
    }
  }
  return o;
}

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

int post(const std::filesystem::path& dir, const Args& args) {
  if (args.empty() || args[0].empty()) {
    platform::log("simctl post: usage: simctl post DIR NAME [KEY=VALUE ...]");
    return 2;
  }
  platform::UserInfo userInfo;
  for (size_t i = 1; i < args.size(); ++i) {
    const auto eq = args[i].find('=');
    if (eq == std::string::npos || eq == 0) {
      platform::log("simctl post: \"", args[i], "\" is not KEY=VALUE");
      return 2;
    }
    userInfo[args[i].substr(0, eq)] = args[i].substr(eq + 1);
  }
  AppScope app;
  auto center = deviceCenter(dir, "post");
  if (!center) return 1;
  center->post(args[0], userInfo);
  // Exiting before the bus has the message would lose it.
  return center->sync() ? 0 : 1;
}

int listen(const std::filesystem::path& dir, const Args& args) {
  auto options = parseListen(args);
  if (!options) return 2;
  AppScope app;
  auto center = deviceCenter(dir, "listen");
  if (!center) return 1;

  QEventLoop loop;
  long printed = 0;
  center->addObserver("", [&](const platform::Notification& n) {
    if (!options->names.empty() && !options->names.count(n.name)) return;
    QJsonObject info;
    for (const auto& [k, v] : n.userInfo) info.insert(q(k), q(v));
    const QByteArray line =
        QJsonDocument(QJsonObject{{"name", q(n.name)}, {"userInfo", info}}).toJson(QJsonDocument::Compact) + "\n";
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
    if (++printed == options->count) loop.exit(0);
  });

  if (::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    platform::log("simctl listen: pipe: ", std::strerror(errno));
    return 1;
  }
  QSocketNotifier stopNotifier(gStopPipe[0], QSocketNotifier::Read);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, &loop, [&] { loop.exit(0); });
  struct sigaction stop {}, oldInt{}, oldTerm{};
  stop.sa_handler = onStopSignal;
  sigemptyset(&stop.sa_mask);
  ::sigaction(SIGINT, &stop, &oldInt);
  ::sigaction(SIGTERM, &stop, &oldTerm);

  QTimer deadline;
  if (options->timeout > 0) {
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
      // Asked for N and got fewer, or asked for any and got none.
      loop.exit(printed >= (options->count > 0 ? options->count : 1) ? 0 : 1);
    });
    deadline.start(static_cast<int>(options->timeout * 1000));
  }

  // Scripts wait for this line before they post, so nothing is missed.
  platform::log("simctl listen: listening on ", center->busAddress());
  const int status = loop.exec();

  ::sigaction(SIGINT, &oldInt, nullptr);
  ::sigaction(SIGTERM, &oldTerm, nullptr);
  ::close(gStopPipe[0]);
  ::close(gStopPipe[1]);
  gStopPipe[0] = gStopPipe[1] = -1;
  return status;
}

}  // namespace simctl
