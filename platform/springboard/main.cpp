// The simulated home-screen process of one device: springboard DIR.
#include <unistd.h>

#include <QApplication>
#include <csignal>
#include <cstdlib>
#include <fstream>

#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
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

  const std::string address = platform::deviceBusAddress(root);
  if (auto center = platform::makeDBusCenter(address)) {
    platform::setDefaultCenter(center);
  } else {
    platform::log("springboard: no bus at '", address, "'; signals stay inside this process");
  }

  host::SpringBoard board(root);
  host::ControlServer control(board);
  if (!control.listen(root)) {
    platform::log("springboard: the device at ", root.string(), " already has a home-screen process");
    return 1;
  }
  board.start();

  std::filesystem::create_directories(root / "run");
  std::ofstream(root / "run" / "springboard.pid") << ::getpid() << "\n";
  platform::log("springboard: ready, pid ", ::getpid());
  return app.exec();
}
