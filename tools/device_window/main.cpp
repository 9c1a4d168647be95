// The device window: device-window DIR [--ready-fd N]. Shows on the desktop
// what the device's display shows, in a phone's body, and hands the mouse
// and keys to it as the finger and the keyboard. The device runs on without
// it; simctl open starts it and hears on fd N whether it came up.
#include <unistd.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QJsonArray>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/display/screen_feed.h"
#include "platform/foundation/file_lock.h"
#include "tools/device_window/device_menu.h"
#include "tools/device_window/phone_view.h"

namespace fs = std::filesystem;
using device_window::PhoneView;

namespace {

int readyFd = -1;

// Tells simctl open how the start went, once.
void report(const std::string& line) {
  if (readyFd < 0) return;
  const std::string text = line + "\n";
  [[maybe_unused]] auto n = ::write(readyFd, text.data(), text.size());
  ::close(readyFd);
  readyFd = -1;
}

int fail(const std::string& why) {
  std::fprintf(stderr, "device-window: %s\n", why.c_str());
  report(why);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: device-window DIR [--ready-fd N]\n");
    return 2;
  }
  if (argc == 4 && std::string(argv[2]) == "--ready-fd") readyFd = std::atoi(argv[3]);
  const fs::path root = fs::absolute(argv[1]).lexically_normal();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Calmora device");

  // One window per device: held while this one is open.
  auto windowLock = platform::ExclusiveFileLock::tryAcquire(root / "run" / "window.lock");
  if (!windowLock) {
    report("already open");
    return 0;
  }
  // The screen's size in points, from the display itself.
  auto status = platform::automation::request(
      platform::automation::socketFile(root, platform::automation::display::kProcess),
      QJsonObject{{"verb", "status"}}, 5000);
  if (!status) return fail("the device's display is not running (simctl boot DIR)");
  const QSize points((*status.answer)["width"].toInt(), (*status.answer)["height"].toInt());
  if (points.isEmpty()) return fail("the device's display did not say its size");
  std::string why;

  QMainWindow window;
  window.setWindowTitle(QString("%1 - Calmora device").arg(QString::fromStdString(root.filename().string())));
  auto* view = new PhoneView(points);
  window.setCentralWidget(view);
  platform::display::ScreenFeed screen(root);
  screen.onFrame = [view](const QImage& frame) { view->setFrame(frame); };
  // The window goes with the device; a display that was killed leaves a
  // line until the next boot brings it back.
  screen.onEnded = [] { QCoreApplication::quit(); };
  screen.onLost = [view] { view->setNotice("The device's display has ended.\nsimctl boot brings it back."); };
  screen.onBack = [view] { view->setNotice({}); };
  if (!screen.connectDisplay(&why)) return fail("cannot show the device's display: " + why);
  screen.setScale(view->scale());
  view->onFinger = [&](QPointF at, const char* phase) { screen.finger(at, phase); };
  view->onKey = [&](int code, bool down, Qt::KeyboardModifiers held) {
    screen.key(code, down, held.testFlag(Qt::ShiftModifier), held.testFlag(Qt::ControlModifier),
               held.testFlag(Qt::AltModifier));
  };
  view->onScale = [&](int scale) { screen.setScale(scale); };

  device_window::DeviceMenu menu(root, &window, view);
  view->onHome = [&] { menu.home(); };

  window.adjustSize();
  window.setFixedSize(window.sizeHint());
  window.show();
  // Keys reach the device from the start, also where no window manager
  // hands the new window the focus.
  window.activateWindow();
  view->setFocus();
  report("ok");
  return app.exec();
}
