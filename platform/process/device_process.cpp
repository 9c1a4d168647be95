#include "platform/process/device_process.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/automation/server.h"
#include "platform/display_client/display_client.h"
#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

// SIGTERM. Once the event loop runs, it ends the loop, so that the process
// ends as it does at quit and then by the signal, as its parent expects.
// Before that (a home screen loading its injected libraries, say) nothing
// would hear it: it ends the process at once, taking the socket and the pid
// file it has made along.
volatile std::sig_atomic_t running = 0;
volatile std::sig_atomic_t terminated = 0;
volatile std::sig_atomic_t madeFiles = 0;  // how many of `made` are set
std::string made[2];
int termPipe[2] = {-1, -1};

void onTerm(int) {
  if (!running) {
    for (int i = 0; i < madeFiles; ++i) ::unlink(made[i].c_str());
    std::signal(SIGTERM, SIG_DFL);
    std::raise(SIGTERM);  // delivered as the handler returns
    return;
  }
  terminated = 1;
  const int saved = errno;
  [[maybe_unused]] auto n = ::write(termPipe[1], "t", 1);
  errno = saved;
}

void remember(const fs::path& file) {
  made[madeFiles] = file.string();
  madeFiles = madeFiles + 1;
}

void endLoopOnTerm() {
  if (::pipe2(termPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    log("cannot make the SIGTERM pipe: SIGTERM ends the process at once");
    return;
  }
  auto* notifier = new QSocketNotifier(termPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { QCoreApplication::exit(0); });
  running = 1;
}

// Opens the channel. A home screen started at a respring finds its
// predecessor still ending, and an app relaunched finds its own.
Result<void, automation::ListenFailure> listen(automation::Server& control, const fs::path& runDir,
                                               const std::string& name) {
  auto listening = control.listen(runDir, name);
  for (int tries = 0; !listening && listening.error().code == automation::ListenError::AlreadyServed && tries < 100;
       ++tries) {
    ::usleep(50 * 1000);
    listening = control.listen(runDir, name);
  }
  return listening;
}

int run(int argc, char** argv, const DeviceProcess& process) {
  // Qt's own diagnostics too say a repeated line once, in a log of bounded size.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
    logLine(qFormatLogMessage(type, context, message).toStdString());
  });
  QApplication qapp(argc, argv);
  const fs::path root = fs::absolute(argv[1]);
  setDeviceRoot(root);
  adoptDeviceLocale(readDeviceDescription(root));

  const std::string address = deviceBusAddress(root);
  if (auto center = makeDBusCenter(address)) {
    setDefaultCenter(center);
  } else {
    log(process.logName, ": no bus at '", address, "'; signals stay inside this process");
  }

  automation::Server control(process.verbs);
  if (auto listening = listen(control, root / "run", process.name); !listening) {
    log(process.logName, ": ", listening.error().context);
    return 1;
  }
  remember(root / "run" / (process.name + ".sock"));
  // Recorded before the slow work, so that a process still starting can be
  // stopped.
  const fs::path pidFile = root / "run" / (process.name + ".pid");
  if (auto recorded = replaceAtomically(pidFile, std::to_string(::getpid()) + "\n"); !recorded)
    log(process.logName, ": cannot record the pid: ", recorded.error().context);
  else
    remember(pidFile);

  std::shared_ptr<void> built = process.start ? process.start(control, root) : nullptr;
  // exit() called off the main thread (an authentication reply ending an
  // app) ends the process at once with its status: the static destructors
  // of Qt and of the layers above must not run while the main thread draws.
  // Registered last, so it runs before them.
  static const std::thread::id mainThread = std::this_thread::get_id();
  ::on_exit(
      [](int exitStatus, void*) {
        if (std::this_thread::get_id() == mainThread) return;
        std::fflush(nullptr);
        ::_exit(exitStatus);
      },
      nullptr);
  endLoopOnTerm();
  QTimer repeats;
  QObject::connect(&repeats, &QTimer::timeout, [] { reportRepeats(); });
  repeats.start(kRepeatReportSeconds * 1000);
  log(process.logName, ": ready, pid ", ::getpid());
  const int status = qapp.exec();
  std::error_code ec;
  fs::remove(pidFile, ec);
  // Windows and controllers go before the QApplication they draw with.
  built.reset();
  return status;
}

}  // namespace

int runDeviceProcess(int argc, char** argv, const DeviceProcess& process) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DEVICE_DIR\n", argc > 0 ? argv[0] : process.name.c_str());
    return 2;
  }
  std::signal(SIGTERM, onTerm);
  // On the device's display where it serves, headless otherwise, unless
  // the caller asked for another platform. An app inherits the home
  // screen's choice, so "wayland" is decided again for each process.
  const std::string asked = std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
  if (asked.empty() || asked == "offscreen" || asked.rfind("wayland", 0) == 0) {
    const fs::path root = fs::absolute(argv[1]);
    if (process.windows == DeviceProcess::Windows::OnDeviceDisplay && display::served(root))
      display::becomeClient(root);
    else
      display::becomeHeadless(root);
  }
  // The plain event dispatcher wakes its loop once per batch of posted
  // events; the GLib one makes a system call for every event, and a screen
  // of new widgets posts hundreds.
  if (!std::getenv("QT_NO_GLIB")) ::setenv("QT_NO_GLIB", "1", 1);
  const int status = run(argc, argv, process);
  if (terminated) {
    std::fflush(nullptr);
    std::signal(SIGTERM, SIG_DFL);
    std::raise(SIGTERM);
  }
  return status;
}

}  // namespace platform
