// The device window: device-window DIR [--ready-fd N]. Shows on the desktop
// what the device's display shows, in a phone's body, and hands the mouse
// and keys to it as the finger and the keyboard. The device runs on without
// it; simctl open starts it and hears on fd N whether it came up.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
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
#include "platform/automation/link.h"
#include "platform/display/frame_file.h"
#include "tools/device_window/device_menu.h"
#include "tools/device_window/phone_view.h"

namespace fs = std::filesystem;
namespace verbs = platform::automation::display;
using platform::automation::encode;
using platform::automation::Link;
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

// One window per device: held while this one is open.
bool lockWindow(const fs::path& runDir) {
  int fd = ::open((runDir / "window.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (fd >= 0) ::close(fd);
    return false;
  }
  return true;  // kept open until the process ends
}

// What the window shows of the display: it asks for each frame newer than
// the one shown, and reconnects should the display end and come back.
class Screen : public QObject {
 public:
  Screen(fs::path root, PhoneView* view) : root_(std::move(root)), view_(view) {
    frames_ = new Link(socket(), this);
    input_ = new Link(socket(), this);
    frames_->onClosed = [this] { lost(); };
    retry_.setInterval(1000);
    connect(&retry_, &QTimer::timeout, this, [this] { connectDisplay(); });
  }
  // Without the window nobody looks at the frames: the display goes back to
  // drawing them at a pixel a point.
  ~Screen() override {
    if (scale_ != 1)
      platform::automation::request(socket(), encode(verbs::kScaleCall, {1}), 2000);
  }

  bool connectDisplay(std::string* why = nullptr) {
    auto file = frameMemory();
    platform::Result<void, std::string> opened = file ? frames_->open() : file.error();
    if (opened) opened = input_->open();
    if (!opened) {
      if (why) *why = opened.error();
      return false;
    }
    file_.emplace(std::move(*file));
    retry_.stop();
    view_->setNotice({});
    seq_ = 0;
    // A display started anew, or one left at another scale by a window
    // that ended without a word, draws at the zoom's.
    scale(view_->scale());
    next();
    return true;
  }

  void scale(int pixelsPerPoint) {
    scale_ = pixelsPerPoint;
    input_->ask(verbs::kScaleCall, {static_cast<double>(pixelsPerPoint)});
  }

  void finger(QPointF at, const char* phase) {
    input_->ask(verbs::kPointerCall, {at.x(), at.y(), phase});
  }
  void key(int code, bool down, Qt::KeyboardModifiers held) {
    input_->ask(verbs::kKeyCall, {static_cast<double>(code), down, held.testFlag(Qt::ShiftModifier),
                                  held.testFlag(Qt::ControlModifier), held.testFlag(Qt::AltModifier)});
  }

 private:
  // The display's frame memory, handed over its control socket.
  platform::Result<platform::display::FrameFile, std::string> frameMemory() const {
    int fd = -1;
    auto reply = platform::automation::request(socket(), encode(verbs::kFramesCall, {}), 2000, &fd);
    if (!reply) return std::string("the display did not hand over its frames");
    if (reply.answer->contains("error")) {
      if (fd >= 0) ::close(fd);
      return "the display did not hand over its frames: " + (*reply.answer)["error"].toString().toStdString();
    }
    return platform::display::FrameFile::open(fd);
  }

  fs::path socket() const { return platform::automation::socketFile(root_, verbs::kProcess); }

  void next() {
    frames_->ask(verbs::kFrameCall, {static_cast<double>(seq_)},
                 [this](const platform::Result<verbs::FrameAnswer, QJsonObject>& a) {
                   if (!a) return;
                   seq_ = static_cast<quint64>(a->seq);
                   const platform::display::FrameSize size{static_cast<int>(a->width), static_cast<int>(a->height),
                                                           static_cast<int>(a->stride)};
                   auto pixels = file_->read(static_cast<int>(a->slot), size);
                   if (size.width > 0 && size.height > 0 && !pixels.empty()) {
                     // Copied, so that the display may write the slot again at once.
                     view_->setFrame(
                         QImage(pixels.data(), size.width, size.height, size.stride, QImage::Format_RGB32).copy());
                   } else {
                     view_->setFrame({});
                   }
                   next();
                 });
  }

  void lost() {
    // A display that ended as asked (shutdown) took its pid file along; the
    // window goes with the device. One killed left it: the window waits for
    // the next boot.
    std::error_code ec;
    if (!fs::exists(root_ / "run" / "display.pid", ec)) {
      QCoreApplication::quit();
      return;
    }
    view_->setNotice("The device's display has ended.\nsimctl boot brings it back.");
    file_.reset();
    retry_.start();
  }

  fs::path root_;
  PhoneView* view_;
  Link* frames_;
  Link* input_;
  std::optional<platform::display::FrameFile> file_;
  quint64 seq_ = 0;
  int scale_ = 1;
  QTimer retry_;
};

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

  if (!lockWindow(root / "run")) {
    report("already open");
    return 0;
  }
  // The screen's size in points, from the display itself.
  auto reply = platform::automation::request(platform::automation::socketFile(root, verbs::kProcess),
                                             encode(verbs::kStatusCall, {}), 5000);
  if (!reply) return fail("the device's display is not running (simctl boot DIR)");
  if (reply.answer->contains("error"))
    return fail("the device's display refused: " + (*reply.answer)["error"].toString().toStdString());
  const auto status = platform::automation::fromJson<verbs::StatusAnswer>(*reply.answer);
  const QSize points(static_cast<int>(status.width), static_cast<int>(status.height));
  if (points.isEmpty()) return fail("the device's display did not say its size");
  std::string why;

  QMainWindow window;
  window.setWindowTitle(QString("%1 - Calmora device").arg(QString::fromStdString(root.filename().string())));
  auto* view = new PhoneView(points);
  window.setCentralWidget(view);
  Screen screen(root, view);
  if (!screen.connectDisplay(&why)) return fail("cannot show the device's display: " + why);
  view->onFinger = [&](QPointF at, const char* phase) { screen.finger(at, phase); };
  view->onKey = [&](int code, bool down, Qt::KeyboardModifiers held) { screen.key(code, down, held); };
  view->onScale = [&](int scale) { screen.scale(scale); };

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
