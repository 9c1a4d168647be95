#include "platform/springboard/control.h"

#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QTimer>

#include "platform/automation/client.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/springboard/springboard.h"
#include "platform/uikit/automation/ui_server.h"

namespace platform::springboard {
namespace {

namespace verbs = platform::automation::home_screen;

Text optText(const QJsonObject& o, const char* key) {
  auto v = o.value(QLatin1String(key));
  if (v.isString()) return v.toString().toStdString();
  return std::nullopt;
}

CallDescription callFrom(const QJsonObject& r) {
  CallDescription c;
  c.displayName = optText(r, "name");
  c.contactIdentifier = optText(r, "contact");
  c.number = optText(r, "number");
  if (r.contains("provider")) c.providerName = optText(r, "provider");
  if (r.contains("providerBundle")) c.providerBundleIdentifier = optText(r, "providerBundle");
  c.status = r.value("status").toInteger(4);
  c.incoming = r.value("incoming").toBool(true);
  return c;
}

QJsonObject call(SpringBoard& board, const QJsonObject& request) {
  CallDescription call = callFrom(request);
  if (!call.displayName && !call.number)
    return QJsonObject{{"error", "a call comes with --name or --number"}, {"code", platform::automation::code::kBadArgument}};
  QString via = request.value("via").toString("event");
  QJsonObject answer;
  bool handedOn = false;
  if (via == "both") {
    bool a = board.deliverCallEvent(call);
    bool b = board.deliverCallUpdate(call);
    handedOn = a || b;
    answer = QJsonObject{{"handedOn", a && b},
                         {"outcomes", QJsonArray{QJsonObject{{"via", "event"}, {"handedOn", a}},
                                                 QJsonObject{{"via", "update"}, {"handedOn", b}}}}};
  } else if (via == "update" || via == "event") {
    handedOn = via == "update" ? board.deliverCallUpdate(call) : board.deliverCallEvent(call);
    answer = QJsonObject{{"via", via}, {"handedOn", handedOn}};
  } else {
    return QJsonObject{{"error", "--via takes event, update or both"},
                       {"code", platform::automation::code::kBadArgument}};
  }
  // Only an incoming call that is ringing rings; an update to another state
  // (ended, connected) does not.
  const bool rings = handedOn && call.incoming && call.status == 4;
  if (rings) board.ring(call);
  answer["rings"] = rings;
  return answer;
}

QJsonObject callJson(const CallQueue& calls) {
  const IncomingCall* c = calls.current();
  return QJsonObject{{"name", QString::fromStdString(c->name)},
                     {"app", QString::fromStdString(c->appName)},
                     {"state", calls.state() == CallState::Ringing ? "ringing" : "inProgress"},
                     {"waiting", static_cast<qint64>(calls.waiting())}};
}

// answer, decline, end: the person's (or the caller's) answer to the call.
QJsonObject actOnCall(SpringBoard& board, bool (CallQueue::*act)()) {
  CallQueue& calls = board.calls();
  if (!calls.current()) return QJsonObject{{"error", "no call is ringing or in progress"}, {"code", verbs::code::kNoCall}};
  const QJsonObject before = callJson(calls);
  if (!(calls.*act)()) return QJsonObject{{"error", "the call is not ringing"}, {"code", verbs::code::kNoCall}};
  QJsonObject answer{{"call", before}};
  if (calls.current()) answer["current"] = callJson(calls);
  return answer;
}

QJsonObject bulletin(SpringBoard& board, const QJsonObject& request) {
  BulletinDescription b;
  b.section = optText(request, "section");
  b.title = optText(request, "title");
  b.subtitle = optText(request, "subtitle");
  b.message = optText(request, "message");
  if (!request.value("noDate").toBool())
    b.date = static_cast<double>(platform::clock::nowMs()) / 1000.0 - request.value("age").toDouble(0);
  const bool handedOn = board.deliverBulletin(b);
  if (handedOn) board.notifications().deliver(b);
  return QJsonObject{{"handedOn", handedOn}};
}

QJsonObject error(const QString& text, const char* code) { return QJsonObject{{"error", text}, {"code", code}}; }

QJsonObject launch(SpringBoard& board, const QJsonObject& request) {
  const QString bundle = request.value("bundle").toString();
  Launch outcome = board.launch(bundle.toStdString());
  if (!outcome) {
    const char* code = launchErrorCode(outcome.error());
    const QString why = outcome.error() == LaunchError::NotInstalled   ? bundle + " is not installed"
                        : outcome.error() == LaunchError::NoExecutable ? bundle + " has no executable"
                                                                       : bundle + " could not be started";
    return error(why, code);
  }
  return QJsonObject{{"app", appJson(outcome->process)}, {"started", outcome->started}};
}

QJsonObject terminate(SpringBoard& board, const QJsonObject& request) {
  const QString bundle = request.value("bundle").toString();
  auto ended = board.processes().terminate(bundle.toStdString());
  if (!ended) return error(bundle + " is not running", verbs::code::kNotRunning);
  return QJsonObject{{"app", appJson(*ended)}};
}

QJsonObject apps(SpringBoard& board) {
  QJsonArray list;
  for (const AppProcess& p : board.processes().list()) list.append(appJson(p));
  QJsonObject answer{{"apps", list}};
  if (auto front = board.processes().front()) answer["front"] = QString::fromStdString(*front);
  return answer;
}

// A new home-screen process for this device, as the system starts one when
// the user interface ended: the same program and device, this process's
// environment and output, detached from this process, which quits.
bool startSuccessor() {
  std::error_code ec;
  std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  std::string root = platform::deviceRoot().string();
  if (ec) return false;
  char* argv[] = {program.data(), root.data(), nullptr};
  const pid_t middle = ::fork();
  if (middle < 0) return false;
  if (middle == 0) {
    if (::fork() == 0) {
      ::close_range(3, ~0U, 0);
      ::execv(argv[0], argv);
      ::_exit(127);
    }
    ::_exit(0);
  }
  ::waitpid(middle, nullptr, 0);
  return true;
}

QJsonObject respring(SpringBoard& board) {
  board.processes().terminateAll();
  if (!startSuccessor()) return QJsonObject{{"error", "cannot start a new home screen"}, {"code", verbs::code::kCannotStart}};
  QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
  return QJsonObject{{"ok", true}};
}

QJsonObject quit() {
  // After the answer has gone out.
  QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
  return QJsonObject{{"ok", true}};
}

}  // namespace

QJsonObject appJson(const AppProcess& p) {
  QJsonObject o{{"bundle", QString::fromStdString(p.bundleIdentifier)},
                {"pid", static_cast<qint64>(p.pid)},
                {"state", p.running ? "running" : "ended"}};
  if (p.exitStatus) o["status"] = *p.exitStatus;
  if (p.signal) o["signal"] = *p.signal;
  return o;
}

void registerControlVerbs(platform::automation::Server& server, SpringBoard& board) {
  platform::uikit::registerUIVerbs(
      server, {.before =
                   [&board] {
                     board.reloadIcons();
                     board.takeIconLaunch();  // only a tap's own launch is its answer
                   },
               .tapped =
                   [&board](QJsonObject& answer) {
                     auto outcome = board.takeIconLaunch();
                     if (!outcome) return;
                     if (*outcome)
                       answer["app"] = appJson((*outcome)->process);
                     else
                       answer["launchError"] = launchErrorCode(outcome->error());
                   },
               // The picture is of the home screen: its status bar as over
               // the wallpaper, whatever app is in front.
               .screenshot = [&board](bool taking) { board.restyleStatusBar(taking); }});
  server.on(verbs::kStatus.name, [&board](const QJsonObject&) { return board.status(); });
  server.on(verbs::kCall.name, [&board](const QJsonObject& r) { return call(board, r); });
  server.on(verbs::kAnswer.name, [&board](const QJsonObject&) { return actOnCall(board, &CallQueue::answer); });
  server.on(verbs::kDecline.name, [&board](const QJsonObject&) { return actOnCall(board, &CallQueue::decline); });
  server.on(verbs::kEnd.name, [&board](const QJsonObject&) { return actOnCall(board, &CallQueue::end); });
  server.on(verbs::kNotifications.name, [&board](const QJsonObject&) {
    return QJsonObject{{"notifications", board.notifications().listJson()}};
  });
  server.on(verbs::kOpened.name, [&board](const QJsonObject& r) {
    board.notifications().opened(r.value("bundle").toString().toStdString(), optText(r, "title"));
    return QJsonObject{{"ok", true}};
  });
  server.on(verbs::kBulletin.name, [&board](const QJsonObject& r) { return bulletin(board, r); });
  server.on(verbs::kAppear.name, [&board](const QJsonObject&) {
    board.appear();
    return QJsonObject{{"ok", true}};
  });
  server.on(verbs::kStatusBar.name, [&board](const QJsonObject&) {
    board.setStatusBar();
    return QJsonObject{{"ok", true}};
  });
  server.on(verbs::kLaunch.name, [&board](const QJsonObject& r) { return launch(board, r); });
  server.on(verbs::kTerminate.name, [&board](const QJsonObject& r) { return terminate(board, r); });
  server.on(verbs::kApps.name, [&board](const QJsonObject&) { return apps(board); });
  server.on(verbs::kHome.name, [&board](const QJsonObject&) {
    board.bringToFront();
    return QJsonObject{{"ok", true}};
  });
  server.on(verbs::kRespring.name, [&board](const QJsonObject&) { return respring(board); });
  server.on(platform::automation::ui::kQuit.name, [](const QJsonObject&) { return quit(); });
}

}  // namespace platform::springboard
