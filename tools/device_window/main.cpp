// The device window: device-window DIR [--ready-fd N]. Shows on the desktop
// what the device's display shows, in a phone's body, and hands the mouse
// and keys to it as the finger and the keyboard. The device runs on without
// it; simctl open starts it and hears on fd N whether it came up.
#include <unistd.h>

#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/automation/server.h"
#include "platform/automation/typed_json.h"
#include "platform/automation/window_verbs.h"
#include "platform/display_client/screen_feed.h"
#include "platform/foundation/device_description.h"
#include "tools/device_window/bring_to_front.h"
#include "tools/device_window/device_menu.h"
#include "tools/device_window/phone_view.h"
#include "tools/device_window/shared_clipboard.h"
#include "tools/device_window/window_menu.h"

namespace fs = std::filesystem;
using platform::automation::encode;
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

// What the window shows of the display (the screen feed's frames, the
// finger, keys and wheel back), the shared clipboard, and screenshots at
// the device's pixels. The display draws at a pixel a point again once the
// window's connections end.
class Screen : public QObject {
 public:
  Screen(fs::path root, PhoneView* view, QSize points)
      : root_(std::move(root)), view_(view), points_(points), feed_(root_, this) {
    clipboard_ = new device_window::SharedClipboard(feed_.socket(), this);
    clipboard_->putOnDevice = [this](const QString& text) { feed_.setClipboard(text); };
    feed_.onFrame = [this](const QImage& frame) {
      view_->setFrame(frame);
      takeShot();
    };
    // The window goes with the device; a display that was killed leaves a
    // line until the next boot brings it back.
    feed_.onEnded = [] { QCoreApplication::quit(); };
    feed_.onLost = [this] { view_->setNotice("The device's display has ended.\nsimctl boot brings it back."); };
    feed_.onBack = [this] {
      // A clipboard that cannot be shared again leaves the screen usable.
      (void)clipboard_->open();
      view_->setNotice({});
    };
    shotTimeout_.setSingleShot(true);
    shotTimeout_.setInterval(5000);
    connect(&shotTimeout_, &QTimer::timeout, this, [this] { finishShot(view_->frame()); });
    deviceScale_ = platform::readDeviceDescription(root_).screenScale;
  }

  platform::Result<void, std::string> connectDisplay() {
    feed_.setScale(view_->scale());
    TRY(feed_.connectDisplay());
    return clipboard_->open();
  }

  void scale(int pixelsPerPoint) { feed_.setScale(pixelsPerPoint); }
  void finger(QPointF at, const char* phase) { feed_.finger(at, phase); }
  void wheel(QPointF at, int delta) { feed_.wheel(at, delta); }
  void key(int code, bool down, Qt::KeyboardModifiers held) {
    feed_.key(code, down, held.testFlag(Qt::ShiftModifier), held.testFlag(Qt::ControlModifier),
              held.testFlag(Qt::AltModifier));
  }

  // Calls back with the screen at the device's pixels: the latest frame
  // where the display draws at that scale, else the next one it draws once
  // asked to, after which the zoom's scale is asked again. The display draws
  // at 2 at most: a device of scale 3 has its frame of scale 2 enlarged.
  void capture(std::function<void(const QImage&)> done) {
    if (shooting_) return;
    shooting_ = std::move(done);
    shotScale_ = deviceScale_ >= 2 ? 2 : 1;
    if (takeShot()) return;
    if (feed_.scale() != shotScale_) feed_.setScale(shotScale_);
    shotTimeout_.start();
  }

 private:
  bool takeShot() {
    const QImage& frame = view_->frame();
    if (!shooting_ || frame.width() != points_.width() * shotScale_) return false;
    finishShot(frame);
    return true;
  }

  // The shot at the device's size (a late frame of another scale is
  // resized), the zoom's scale asked again.
  void finishShot(QImage shot) {
    shotTimeout_.stop();
    auto done = std::move(shooting_);
    shooting_ = nullptr;
    const QSize pixels = (QSizeF(points_) * deviceScale_).toSize();
    if (!shot.isNull() && shot.size() != pixels)
      shot = shot.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (feed_.scale() != view_->scale()) feed_.setScale(view_->scale());
    if (done) done(shot);
  }

  fs::path root_;
  PhoneView* view_;
  QSize points_;
  platform::display::ScreenFeed feed_;
  device_window::SharedClipboard* clipboard_;
  double deviceScale_ = 2;
  int shotScale_ = 2;
  std::function<void(const QImage&)> shooting_;
  QTimer shotTimeout_;
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

  // One window per device: a second start brings the first to front.
  namespace window_verbs = platform::automation::window;
  platform::automation::Server control(window_verbs::kVerbs);
  if (auto listening = control.listen(root / "run", window_verbs::kProcess); !listening) {
    if (listening.error().code != platform::automation::ListenError::AlreadyServed)
      return fail("cannot serve the window's socket: " + listening.error().context);
    platform::automation::request(platform::automation::socketFile(root, window_verbs::kProcess),
                                  requestOf(window_verbs::kFront), 2000);
    report("already open");
    return 0;
  }
  // The screen's size in points, from the display itself.
  namespace verbs = platform::automation::display;
  auto reply = platform::automation::request(platform::automation::socketFile(root, verbs::kProcess),
                                             encode(verbs::kStatusCall, {}), 5000);
  if (!reply) return fail("the device's display is not running (simctl boot DIR)");
  if (reply.answer->contains("error"))
    return fail("the device's display refused: " + (*reply.answer)["error"].toString().toStdString());
  const auto status = platform::automation::fromJson<verbs::StatusAnswer>(*reply.answer);
  const QSize points(static_cast<int>(status.width), static_cast<int>(status.height));
  if (points.isEmpty()) return fail("the device's display did not say its size");

  QMainWindow window;
  window.setWindowTitle(QString("%1 - Calmora device").arg(QString::fromStdString(root.filename().string())));
  auto* view = new PhoneView(points);
  window.setCentralWidget(view);
  Screen screen(root, view, points);
  if (auto shown = screen.connectDisplay(); !shown) return fail("cannot show the device's display: " + shown.error());
  view->onFinger = [&](QPointF at, const char* phase) { screen.finger(at, phase); };
  view->onKey = [&](int code, bool down, Qt::KeyboardModifiers held) { screen.key(code, down, held); };
  view->onWheel = [&](QPointF at, int delta) { screen.wheel(at, delta); };
  view->onScale = [&](int scale) { screen.scale(scale); };

  new device_window::WindowMenu(&window, view);
  device_window::DeviceMenu menu(root, &window);
  view->onHome = [&] { menu.home(); };
  menu.capture = [&](std::function<void(const QImage&)> done) { screen.capture(std::move(done)); };

  control.on(window_verbs::kFront.name, [&](const QJsonObject&) {
    device_window::bringToFront(&window);
    view->setFocus();
    return QJsonObject{{"ok", true}};
  });
  control.on(platform::automation::ui::kQuit.name, [&](const QJsonObject&) {
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QJsonObject{{"ok", true}};
  });

  window.show();
  // Keys reach the device from the start, also where no window manager
  // hands the new window the focus.
  window.activateWindow();
  view->setFocus();
  report("ok");
  return app.exec();
}
