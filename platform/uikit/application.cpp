#include "platform/uikit/application.h"

#include <unistd.h>

#include <fcntl.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/automation/server.h"
#include "platform/automation/ui_verbs.h"
#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/sound.h"
#include "platform/uikit/automation/ui_server.h"
#include "platform/uikit/screen.h"
#include "platform/uikit/view_controller.h"

namespace platform::uikit {

namespace fs = std::filesystem;

UIApplication& UIApplication::sharedApplication() {
  static UIApplication app;
  return app;
}

UIWindow* UIApplication::frontWindow() const {
  UIWindow* front = nullptr;
  for (UIWindow* w : windows_) {
    if (w->isHidden()) continue;
    if (!front || w->windowLevel() > front->windowLevel() ||
        (w->windowLevel() == front->windowLevel() && w->shownOrder() > front->shownOrder()))
      front = w;
  }
  return front ? front : key_;
}

void UIApplication::interfaceStyleChanged() {
  UITraitCollection previous = UIScreen::mainScreen().traitCollection();
  UIScreen::mainScreen().update(readDeviceDescription(deviceRoot()));
  if (UIScreen::mainScreen().traitCollection() == previous) return;
  auto windows = windows_;
  for (UIWindow* w : windows) {
    w->traitCollectionDidChange();
    if (w == key_ && w->rootViewController()) w->rootViewController()->deliverTraitChange(previous);
  }
}

namespace {
// The app's bundle identifier: the Info.plist beside the executable.
std::string ownBundleIdentifier(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) exe = fs::absolute(argv0);
  auto info = plist::readDictionary(exe.parent_path() / "Info.plist");
  if (auto id = info.dict["CFBundleIdentifier"].text(); id && !id->empty()) return *id;
  log("uikit: no CFBundleIdentifier in ", (exe.parent_path() / "Info.plist").string(), "; using the executable's name");
  return exe.filename().string();
}

constexpr const char* kAppearanceSignal = "sim.device/appearance";

// SIGTERM ends the event loop, so that the app ends as it does at quit (its
// pid file and socket go) and then by the signal, as its parent expects.
int termPipe[2] = {-1, -1};
volatile std::sig_atomic_t terminated = 0;

void endLoopOnTerm() {
  if (::pipe2(termPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(termPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { QCoreApplication::exit(0); });
  std::signal(SIGTERM, [](int) {
    terminated = 1;
    const int saved = errno;
    [[maybe_unused]] auto n = ::write(termPipe[1], "t", 1);
    errno = saved;
  });
}

int run(int argc, char** argv, const DelegateFactory& delegateFactory);
}  // namespace

int UIApplicationMain(int argc, char** argv, const DelegateFactory& delegateFactory) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DEVICE_DIR\n", argc > 0 ? argv[0] : "app");
    return 2;
  }
  // Headless unless the caller asked for a display.
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The plain event dispatcher wakes its loop once per batch of posted
  // events; the GLib one makes a system call for every event, and a screen
  // of new widgets posts hundreds.
  if (!std::getenv("QT_NO_GLIB")) ::setenv("QT_NO_GLIB", "1", 1);
  const int status = run(argc, argv, delegateFactory);
  if (terminated) {
    std::fflush(nullptr);
    std::signal(SIGTERM, SIG_DFL);
    std::raise(SIGTERM);
  }
  return status;
}

namespace {
int run(int argc, char** argv, const DelegateFactory& delegateFactory) {
  QApplication qapp(argc, argv);
  endLoopOnTerm();
  const fs::path root = fs::absolute(argv[1]);
  setDeviceRoot(root);
  const DeviceDescription device = readDeviceDescription(root);
  adoptDeviceLocale(device);
  UIScreen::mainScreen().update(device);
  UIApplication& app = UIApplication::sharedApplication();
  app.setBundleIdentifier(ownBundleIdentifier(argv[0]));
  const std::string name = "uikit(" + app.bundleIdentifier() + ")";

  const std::string address = deviceBusAddress(root);
  if (auto center = makeDBusCenter(address)) {
    setDefaultCenter(center);
  } else {
    log(name, ": no bus at '", address, "'; signals stay inside this process");
  }
  defaultCenter().addObserver(kAppearanceSignal, [](const Notification&) {
    UIApplication::sharedApplication().interfaceStyleChanged();
  });
  // The home screen keeps the device's record of sounds.
  sound::setPlayListener([bundle = app.bundleIdentifier()](sound::SystemSoundID id) {
    defaultCenter().post(sound::kPlayedSignal, {{sound::kSoundKey, std::to_string(id)}, {sound::kProcessKey, bundle}});
  });

  automation::Server control(automation::ui::kVerbs);
  registerUIVerbs(control);
  if (auto failure = control.listen(root / "run", automation::ui::socketName(app.bundleIdentifier()))) {
    log(name, ": ", failure->context);
    return 1;
  }
  const fs::path pidFile = root / "run" / (app.bundleIdentifier() + ".pid");
  if (auto error = replaceAtomically(pidFile, std::to_string(::getpid()) + "\n"))
    log(name, ": cannot record the pid: ", error->context);

  if (delegateFactory) app.setDelegate(delegateFactory());
  if (auto* delegate = app.delegate()) {
    delegate->didFinishLaunchingWithOptions(app);
    delegate->applicationDidBecomeActive(app);
  }
  // exit() called off the main thread (an authentication reply ending the
  // app) ends the process at once with its status: the static destructors
  // of Qt and of this layer must not run while the main thread draws.
  // Registered last, so it runs before them.
  static const std::thread::id mainThread = std::this_thread::get_id();
  ::on_exit(
      [](int exitStatus, void*) {
        if (std::this_thread::get_id() == mainThread) return;
        std::fflush(nullptr);
        ::_exit(exitStatus);
      },
      nullptr);
  int status = qapp.exec();
  std::error_code ec;
  fs::remove(pidFile, ec);
  // Windows and controllers go before the QApplication they draw with.
  app.setDelegate(nullptr);
  return status;
}
}  // namespace

}  // namespace platform::uikit
