// The simulated home-screen process of one device: springboard DIR.
#include <unistd.h>

#include <QApplication>
#include <csignal>
#include <cstdlib>

#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/server.h"
#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/sound.h"
#include "platform/springboard/control.h"
#include "platform/springboard/springboard.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: springboard DEVICE_DIR\n");
    return 2;
  }
  // Headless unless the caller asked for a display.
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::signal(SIGTERM, [](int) { ::_exit(0); });

  QApplication app(argc, argv);
  std::filesystem::path root = std::filesystem::absolute(argv[1]);
  platform::setDeviceRoot(root);
  platform::adoptDeviceLocale(platform::readDeviceDescription(root));

  namespace verbs = platform::automation::home_screen;
  platform::automation::Server control(verbs::kVerbs);
  // A successor started at a respring finds its predecessor still ending.
  auto failure = control.listen(root / "run", verbs::kProcess);
  for (int tries = 0; failure && failure->code == platform::automation::ListenError::AlreadyServed && tries < 100;
       ++tries) {
    ::usleep(50 * 1000);
    failure = control.listen(root / "run", verbs::kProcess);
  }
  if (failure) {
    platform::log("springboard: ", failure->context);
    return 1;
  }
  // Recorded before the slow work (the injected libraries, the settings),
  // so that a process still starting can be stopped.
  const auto pidFile = root / "run" / "springboard.pid";
  if (auto error = platform::replaceAtomically(pidFile, std::to_string(::getpid()) + "\n"))
    platform::log("springboard: cannot record the pid: ", error->context);

  const std::string address = platform::deviceBusAddress(root);
  if (auto center = platform::makeDBusCenter(address)) {
    platform::setDefaultCenter(center);
  } else {
    platform::log("springboard: no bus at '", address, "'; signals stay inside this process");
  }

  platform::springboard::SpringBoard board(root);
  platform::springboard::registerControlVerbs(control, board);
  board.start();
  platform::defaultCenter().addObserver(platform::sound::kPlayedSignal, [&board](const platform::Notification& n) {
    board.soundReported(n.userInfo);
  });
  platform::log("springboard: ready, pid ", ::getpid());
  int status = app.exec();
  std::error_code ec;
  std::filesystem::remove(pidFile, ec);
  return status;
}
