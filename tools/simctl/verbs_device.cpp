// Verbs that manage the device's life: boot, shutdown, status, respring.
#include <QJsonArray>
#include <cstdio>

#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/typed_json.h"
#include "platform/automation/window_verbs.h"
#include "platform/foundation/device_appearance.h"
#include "platform/foundation/device_bus.h"
#include "tools/simctl/device_control.h"
#include "tools/simctl/verbs.h"

namespace simctl {
namespace home_screen = platform::automation::home_screen;

int boot(const std::filesystem::path& dirArg, const Args& args) {
  if (args.size() > 1 || (args.size() == 1 && args[0] != "--sound")) {
    std::fprintf(stderr, "usage: simctl boot DIR [--sound]\n");
    return 2;
  }
  auto dir = deviceDir(dirArg);
  if (!prepareDevice(dir)) return 1;
  // Headless unless asked: a device heard on a build machine helps nobody.
  if (auto set = platform::setDeviceSoundSwitch(dir, platform::SoundSwitch::Sound, !args.empty()); !set)
    std::fprintf(stderr, "simctl boot: %s\n", set.error().c_str());
  // The display first, so that the home screen and its apps show on it.
  if (!startDisplay(dir)) return 1;
  auto status = startSpringBoard(dir);
  if (!status) return 1;
  printJson(*status);
  return 0;
}

int shutdown(const std::filesystem::path& dirArg, const Args&) {
  auto dir = deviceDir(dirArg);
  // The window first: it would wait for the display to come back.
  stopProcess(dir, platform::automation::window::kProcess);
  stopProcess(dir, kServeProgram);
  stopSpringBoard(dir);
  stopDisplay(dir);
  platform::stopDeviceBus(dir);
  printJson(QJsonObject{{"running", false}});
  return 0;
}

int status(const std::filesystem::path& dirArg, const Args&) {
  auto dir = deviceDir(dirArg);
  auto reply = ask(dir, requestOf(home_screen::kStatus));
  if (reply) {
    printJson(*reply.answer);
    return 0;
  }
  if (reply.failure == platform::automation::Failure::TimedOut) {
    reportFailure(reply.failure);
    return 1;
  }
  printJson(QJsonObject{{"running", false}, {"injected", QJsonArray{}}, {"installations", QJsonArray{}}});
  return 0;
}

int respring(const std::filesystem::path& dirArg, const Args&) {
  auto dir = deviceDir(dirArg);
  stopSpringBoard(dir);
  // The library is installed anew, so a rebuilt one is what loads.
  if (!prepareDevice(dir)) return 1;
  auto status = startSpringBoard(dir);
  if (!status) return 1;
  printJson(*status);
  return 0;
}

}  // namespace simctl
