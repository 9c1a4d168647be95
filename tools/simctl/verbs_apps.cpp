// Verbs for the device's apps: install, launch, terminate, apps, and the
// device's interface style.
#include <QJsonArray>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/apps/app_registry.h"
#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/typed_json.h"
#include "platform/automation/ui_verbs.h"
#include "platform/foundation/device_appearance.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/process_info.h"
#include "platform/foundation/qt_text.h"
#include "tools/simctl/app_install.h"
#include "tools/simctl/device_control.h"
#include "tools/simctl/verbs.h"

namespace simctl {
namespace {

namespace automation = platform::automation;
namespace home_screen = platform::automation::home_screen;

bool oneBundle(const char* verb, const Args& args) {
  if (args.size() == 1 && platform::apps::isValidBundleIdentifier(args[0])) return true;
  std::fprintf(stderr, "usage: simctl %s DIR BUNDLE_ID\n", verb);
  return false;
}

// The answer to a request of the home screen, printed; nothing (exit 1)
// when there is none or it is an error.
std::optional<QJsonObject> askPrinted(const std::filesystem::path& dir, const QJsonObject& request) {
  auto reply = ask(dir, request);
  if (!reply) {
    reportFailure(reply.failure);
    return std::nullopt;
  }
  if (reply.answer->contains("error")) {
    std::fprintf(stderr, "simctl: %s\n", qPrintable(reply.answer->value("error").toString()));
    printJson(*reply.answer);
    return std::nullopt;
  }
  return reply.answer;
}

// The home screen's record of the app with `pid`.
std::optional<QJsonObject> appRecord(const std::filesystem::path& dir, qint64 pid) {
  auto reply = ask(dir, requestOf(home_screen::kApps));
  if (!reply) return std::nullopt;
  for (const auto& app : reply.answer->value("apps").toArray())
    if (app.toObject().value("pid").toInteger() == pid) return app.toObject();
  return std::nullopt;
}

}  // namespace

int install(const std::filesystem::path& dirArg, const Args& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: simctl install DIR PATH.app\n");
    return 2;
  }
  auto dir = deviceDir(dirArg);
  auto id = installBundle(dir, args[0]);
  if (!id) return 1;
  printJson(QJsonObject{{"installed", QString::fromStdString(*id)}});
  return 0;
}

int launch(const std::filesystem::path& dirArg, const Args& args) {
  if (!oneBundle("launch", args)) return 2;
  const auto dir = deviceDir(dirArg);
  const QString bundle = QString::fromStdString(args[0]);
  auto answer = askPrinted(dir, requestOf(home_screen::kLaunch, {{"bundle", bundle}}));
  if (!answer) return 1;
  const qint64 pid = answer->value("app").toObject().value("pid").toInteger();
  // Up once its channel answers and its pid file names it: a channel or a
  // pid file an earlier process left does not count.
  const auto socket = automation::socketFile(dir, automation::ui::socketName(args[0]));
  const auto pidFile = dir / "run" / (args[0] + ".pid");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs());
  while (std::chrono::steady_clock::now() < deadline) {
    if (platform::readPidFile(pidFile) == pid &&
        automation::request(socket, requestOf(automation::ui::kTree), 1000)) {
      printJson(QJsonObject{{"bundle", bundle}, {"pid", pid}});
      return 0;
    }
    auto record = appRecord(dir, pid);
    if (!record || record->value("state").toString() != "running") {
      std::fprintf(stderr, "simctl launch: %s (pid %lld) ended before it answered\n", args[0].c_str(),
                   static_cast<long long>(pid));
      if (record) printJson(*record);
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::fprintf(stderr, "simctl launch: %s (pid %lld) did not answer within %d ms; see %s\n", args[0].c_str(),
               static_cast<long long>(pid), timeoutMs(), (dir / "var/log" / (args[0] + ".log")).c_str());
  return 1;
}

int terminate(const std::filesystem::path& dirArg, const Args& args) {
  if (!oneBundle("terminate", args)) return 2;
  auto answer = askPrinted(deviceDir(dirArg),
                           requestOf(home_screen::kTerminate, {{"bundle", QString::fromStdString(args[0])}}));
  if (!answer) return 1;
  printJson(*answer);
  return 0;
}

int apps(const std::filesystem::path& dirArg, const Args& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: simctl apps DIR\n");
    return 2;
  }
  const auto dir = deviceDir(dirArg);
  auto answer = askPrinted(dir, requestOf(home_screen::kApps));
  if (!answer) return 1;
  // The process whose window the display shows: null when no display runs.
  namespace display = platform::automation::display;
  auto shown = platform::automation::request(platform::automation::socketFile(dir, display::kProcess),
                                             encode(display::kStatusCall, {}), 2000);
  answer->insert("shown", shown ? (*shown.answer)["front"] : QJsonValue());
  if (shown && shown.answer->contains("error"))
    std::fprintf(stderr, "simctl apps: the display did not say what it shows: %s\n",
                 (*shown.answer)["error"].toString().toUtf8().constData());
  printJson(*answer);
  return 0;
}

int appearance(const std::filesystem::path& dirArg, const Args& args) {
  if (args.size() != 1 || (args[0] != "light" && args[0] != "dark")) {
    std::fprintf(stderr, "usage: simctl appearance DIR light|dark\n");
    return 2;
  }
  const auto dir = deviceDir(dirArg);
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    std::fprintf(stderr, "simctl appearance: no device at %s\n", dir.c_str());
    return 1;
  }
  AppScope app;
  if (auto set = platform::setDeviceAppearance(dir, args[0]); !set) {
    std::fprintf(stderr, "simctl appearance: %s\n", set.error().c_str());
    return 1;
  }
  printJson(QJsonObject{{"appearance", QString::fromStdString(args[0])}});
  return 0;
}

int silent(const std::filesystem::path& dirArg, const Args& args) {
  if (args.size() != 1 || (args[0] != "on" && args[0] != "off")) {
    std::fprintf(stderr, "usage: simctl silent DIR on|off\n");
    return 2;
  }
  const auto dir = deviceDir(dirArg);
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    std::fprintf(stderr, "simctl silent: no device at %s\n", dir.c_str());
    return 1;
  }
  AppScope app;
  if (auto set = platform::setDeviceSoundSwitch(dir, platform::SoundSwitch::Silent, args[0] == "on"); !set) {
    std::fprintf(stderr, "simctl silent: %s\n", set.error().c_str());
    return 1;
  }
  printJson(QJsonObject{{"silent", args[0] == "on"}});
  return 0;
}

}  // namespace simctl
