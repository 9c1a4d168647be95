#include "platform/display/compositor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-server-core.h>

#include <QJsonArray>
#include <QPainter>
#include <QPointer>
#include <QWaylandBufferRef>
#include <QWaylandClient>
#include <QWaylandCompositor>
#include <QWaylandSeat>
#include <QWaylandSurface>
#include <QWaylandView>
#include <QWaylandXdgShell>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/automation/display_verbs.h"
#include "platform/automation/socket_address.h"
#include "platform/display_client/display_client.h"
#include "platform/display_client/display_requests.h"
#include "platform/display/client_buffer.h"
#include "platform/display/client_gate.h"
#include "platform/display/clipboard.h"
#include "platform/display/frame_export.h"
#include "platform/display/input.h"
#include "platform/display/output_scale.h"
#include "platform/display/requests.h"
#include "platform/display/window_stack.h"
#include "platform/foundation/log.h"

namespace platform::display {
namespace fs = std::filesystem;
namespace verbs = automation::display;

namespace {

struct Window {
  QWaylandSurface* surface = nullptr;
  QPointer<QWaylandXdgToplevel> toplevel;
  std::unique_ptr<QWaylandView> view;
  qint64 pid = 0;
  bool overlay = false;  // the home screen's, over whichever window is in front
};

QJsonObject error(const char* code, const QString& text) { return QJsonObject{{"error", text}, {"code", code}}; }

// The name Qt's own socket takes for the moment of its creation: the
// display's clients connect to the gate's.
constexpr const char* kUnservedSocketName = "display.wayland.unserved";

// libwayland's diagnostics, as the process's own lines.
void logWayland(const char* format, va_list args) {
  char line[512];
  const int n = std::vsnprintf(line, sizeof line, format, args);
  std::string_view text(line, n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof line - 1));
  while (text.ends_with('\n')) text.remove_suffix(1);
  log("display: ", text);
}

// The pid the home screen recorded in RUN_DIR/springboard.pid; 0 for none.
qint64 homeScreenPid(const fs::path& runDir) {
  qint64 pid = 0;
  std::ifstream(runDir / "springboard.pid") >> pid;
  return pid;
}

}  // namespace

struct Compositor::Impl {
  fs::path runDir;
  QSize size;
  int runFolder = -1;  // O_PATH, for a socket path that fits whatever the folder's depth
  std::unique_ptr<ClipboardCompositor> compositor;
  QWaylandXdgShell* shell = nullptr;
  std::unique_ptr<OutputScale> scale;
  ClientGate gate;
  WindowStack<Window> windows;
  std::optional<FrameExport> frames;
  // The surface the frame last came from: a new front one is shown at once.
  const QWaylandSurface* shownSurface = nullptr;
  // The surface a finger went down on: it gets the finger until it lifts.
  const QWaylandSurface* pressedOn = nullptr;

  ~Impl() {
    windows.clear();
    compositor.reset();
    scale.reset();
    if (runFolder >= 0) ::close(runFolder);
  }

  // The most pixels a frame holds each way: the screen at the largest scale.
  QSize largest() const { return size * 2; }

  Window* find(const QWaylandSurface* surface) const {
    return windows.findFromFront([surface](const Window& w) { return w.surface == surface; });
  }

  // Whether a commit of `w` changes what is shown.
  bool shows(const Window* w) const { return w == windows.front() || w->overlay; }

  // Hands the front window's current frame with the overlays over it, by
  // their alpha, or an empty screen, to the device window.
  void publish() {
    Window* top = windows.front();
    QImage image = top ? copyOf(top->view->currentBuffer(), largest()) : QImage();
    shownSurface = top ? top->surface : nullptr;
    if (!image.isNull()) {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      const double to = image.width() / static_cast<double>(size.width());
      for (const Window* o : windows.overlays()) {
        const QImage over = copyOf(o->view->currentBuffer(), largest());
        if (over.isNull()) continue;
        // At the front's scale, should the two differ for a frame.
        const double by = to / (over.width() / static_cast<double>(size.width()));
        painter.drawImage(QRectF(0, 0, over.width() * by, over.height() * by), over);
      }
    }
    frames->publish(image);
  }

  // The home screen names its overlay by its title once it has a window.
  void titled(Window* w) {
    if (!w->toplevel || w->toplevel->title() != QLatin1String(kOverlayTitle)) return;
    if (!windows.makeOverlay(w, homeScreenPid(runDir))) {
      log("display: process ", w->pid, " named a window an overlay but is not the home screen; kept as a window");
      return;
    }
    focus();
    publish();
  }

  // Whether `w`, an overlay, takes a touch at `at`: where it said it does.
  // Until it says, its surface takes touches everywhere, and it takes none.
  static bool takes(const Window& w, QPointF at) {
    return w.surface->inputRegionContains(at.toPoint()) && !w.surface->inputRegionContains(QPoint(-100000, -100000));
  }

  void raise(Window* w) {
    if (!windows.raise(w)) return;
    focus();
    publish();
  }

  void focus() {
    if (Window* top = windows.front()) compositor->defaultSeat()->setKeyboardFocus(top->surface);
  }

  void surfaceCreated(QWaylandSurface* surface) {
    QObject::connect(surface, &QWaylandSurface::redraw, surface, [this, surface] { committed(surface); });
    QObject::connect(surface, &QWaylandSurface::surfaceDestroyed, surface, [this, surface] { destroyed(surface); });
  }

  void toplevelCreated(QWaylandXdgToplevel* toplevel, QWaylandXdgSurface* xdg) {
    auto w = std::make_unique<Window>();
    w->surface = xdg->surface();
    w->toplevel = toplevel;
    w->view = std::make_unique<QWaylandView>();
    w->view->setSurface(w->surface);
    w->view->setOutput(scale->output());
    w->pid = w->surface->client() ? w->surface->client()->processId() : 0;
    // The screen's size, as a phone gives every app its whole screen.
    toplevel->sendConfigure(size, QList<QWaylandXdgToplevel::State>{QWaylandXdgToplevel::ActivatedState});
    Window* pushed = windows.push(std::move(w));
    QObject::connect(toplevel, &QWaylandXdgToplevel::titleChanged, compositor.get(), [this, surface = pushed->surface] {
      if (Window* titledWindow = find(surface)) titled(titledWindow);
    });
    titled(pushed);
    focus();
  }

  void committed(QWaylandSurface* surface) {
    if (Window* w = find(surface)) {
      w->view->advance();
      if (shows(w)) publish();
    }
    surface->frameStarted();
    surface->sendFrameCallbacks();
  }

  void destroyed(QWaylandSurface* surface) {
    if (pressedOn == surface) pressedOn = nullptr;
    const Window* w = find(surface);
    const bool wasOverlay = w && w->overlay;
    const bool frontChanged = windows.remove(w, homeScreenPid(runDir));
    if (frontChanged || wasOverlay || shownSurface == surface) {
      focus();
      publish();
    }
  }

  std::vector<QWaylandView*> views() const {
    std::vector<QWaylandView*> all;
    for (auto& w : windows.all()) all.push_back(w->view.get());
    return all;
  }

  template <class Answer>
  using Answered = Result<Answer, QJsonObject>;

  verbs::StatusAnswer status() const {
    QJsonArray list;
    for (auto& w : windows.all())
      list.append(QJsonObject{{"pid", static_cast<double>(w->pid)},
                              {"title", w->toplevel ? w->toplevel->title() : QString()},
                              {"overlay", w->overlay}});
    const Window* top = windows.front();
    return verbs::StatusAnswer{true, static_cast<double>(size.width()), static_cast<double>(size.height()),
                               top ? QJsonValue(static_cast<double>(top->pid)) : QJsonValue(), list};
  }

  Answered<verbs::Done> pointer(const verbs::PointerRequest& request) {
    auto read = readPointer(request);
    if (!read) return read.error();
    // An overlay takes the finger where it shows something to touch, the
    // window in front elsewhere; the one it went down on keeps it.
    Window* to = pressedOn ? find(pressedOn) : nullptr;
    if (!to) to = windows.touched([at = read->at](const Window& w) { return takes(w, at); });
    if (!to) return error(verbs::code::kNoWindow, "no window is shown");
    pressedOn = read->phase == Pointer::Phase::Up ? nullptr : read->phase == Pointer::Phase::Down ? to->surface : pressedOn;
    sendPointer(compositor->defaultSeat(), to->view.get(), *read);
    return verbs::Done{};
  }

  Answered<verbs::Done> wheel(const verbs::WheelRequest& request) {
    Window* top = windows.front();
    if (!top) return error(verbs::code::kNoWindow, "no window is shown");
    if (!(std::abs(request.delta) <= 120 * 100))
      return error(automation::code::kBadArgument, "'delta' is at most 100 notches");
    sendWheel(compositor->defaultSeat(), top->view.get(), QPointF(request.x, request.y), static_cast<int>(request.delta));
    return verbs::Done{};
  }

  bool keypadFlag = false;
  Answered<verbs::Done> key(const verbs::KeyRequest& request) {
    auto read = readKey(request);
    if (!read) return read.error();
    if (!windows.front()) return error(verbs::code::kNoWindow, "no window is shown");
    // The seat brings the client's modifiers in line with the ones held
    // before it sends a press, but only where they differ from those of the
    // press before, whichever client that went to: the app that came to
    // front since would miss them (Ctrl+V typed as "v"). A flag that no
    // client is sent, alternated, makes every press carry them.
    if (read->down && (keypadFlag = !keypadFlag)) read->held |= Qt::KeypadModifier;
    sendKey(compositor->defaultSeat(), *read);
    return verbs::Done{};
  }

  Answered<verbs::FrontAnswer> raisePid(const verbs::FrontRequest& request) {
    const auto pid = static_cast<qint64>(request.pid);
    Window* w = windows.latestOf(pid);
    if (!w) return error(verbs::code::kNoWindow, QString("process %1 has no window").arg(pid));
    raise(w);
    return verbs::FrontAnswer{static_cast<double>(pid)};
  }

  Answered<verbs::ScaleAnswer> scaleTo(const verbs::ScaleRequest& request) {
    auto read = readScale(request);
    if (!read) return read.error();
    scale->scaleTo(*read);
    return request;
  }

  // The connection that asked for a scale above 1 is a window looking at
  // the frames: once it ends, killed or not, nobody does, and the device's
  // windows draw at a pixel a point again.
  const QObject* scaledFor = nullptr;
  void scaleFor(double asked, QObject* client) {
    if (asked == 1) return;
    // Gone already: nobody looks, unless another window asked before.
    if (!client) {
      if (!scaledFor) scale->scaleTo(1);
      return;
    }
    if (client == scaledFor) return;
    scaledFor = client;
    QObject::connect(client, &QObject::destroyed, compositor.get(), [this, client] {
      if (client != scaledFor) return;
      scaledFor = nullptr;
      scale->scaleTo(1);
    });
  }
};

Compositor::Compositor(fs::path runDir, int width, int height) : d_(std::make_unique<Impl>()) {
  d_->runDir = std::move(runDir);
  d_->size = QSize(width, height);
}

Compositor::~Compositor() = default;

Result<void, std::string> Compositor::start() {
  // The folder is the Wayland runtime folder of the device's clients: it
  // must be this user's alone, as the sockets in it are.
  struct stat st {};
  if (::lstat(d_->runDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
    return d_->runDir.string() + " is not a folder of this user's";
  if ((st.st_mode & 077) != 0 && ::chmod(d_->runDir.c_str(), 0700) != 0)
    return "cannot make " + d_->runDir.string() + " owner-only: " + std::strerror(errno);
  d_->runFolder = ::open(d_->runDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (d_->runFolder < 0) return "cannot open " + d_->runDir.string() + ": " + std::strerror(errno);

  auto frames = FrameExport::create(d_->largest());
  if (!frames) return frames.error();
  d_->frames.emplace(std::move(*frames));

  // What a killed display left at Qt's name goes.
  const std::string unserved[] = {kUnservedSocketName, std::string(kUnservedSocketName) + ".lock"};
  for (const std::string& name : unserved) ::unlinkat(d_->runFolder, name.c_str(), 0);
  // A deep device's socket is reached through the folder's descriptor.
  auto qtSocket = automation::addressPath(d_->runDir / kUnservedSocketName, d_->runFolder);
  if (!qtSocket) return "the display's socket cannot be named in " + d_->runDir.string();
  ::setenv("XDG_RUNTIME_DIR", fs::path(*qtSocket).parent_path().c_str(), 1);
  wl_log_set_handler_server(logWayland);
  const mode_t before = ::umask(077);
  d_->compositor = std::make_unique<ClipboardCompositor>();
  d_->compositor->setSocketName(kUnservedSocketName);
  d_->compositor->setUseHardwareIntegrationExtension(false);
  d_->shell = new QWaylandXdgShell(d_->compositor.get());
  d_->scale = std::make_unique<OutputScale>(d_->compositor.get(), d_->size, [impl = d_.get()] { return impl->views(); });
  QObject::connect(d_->compositor.get(), &QWaylandCompositor::surfaceCreated, d_->compositor.get(),
                   [impl = d_.get()](QWaylandSurface* s) { impl->surfaceCreated(s); });
  QObject::connect(d_->shell, &QWaylandXdgShell::toplevelCreated, d_->compositor.get(),
                   [impl = d_.get()](QWaylandXdgToplevel* t, QWaylandXdgSurface* s) { impl->toplevelCreated(t, s); });
  d_->compositor->create();
  ::umask(before);
  // Nobody reaches Qt's own socket once it is gone from the folder.
  for (const std::string& name : unserved) ::unlinkat(d_->runFolder, name.c_str(), 0);
  if (auto listening = d_->gate.listen(d_->runDir / kWaylandSocketName, d_->compositor->display()); !listening)
    return listening.error();
  d_->publish();
  return {};
}

void Compositor::serve(automation::Server& control) {
  Impl* d = d_.get();
  using automation::TypedResponder;
  control.on(verbs::kStatusCall, [d](const verbs::Nothing&) -> Impl::Answered<verbs::StatusAnswer> { return d->status(); });
  control.onLater(verbs::kFramesCall, [d](const verbs::Nothing&, TypedResponder<verbs::Done> answer) {
    answer(verbs::Done{}, d->frames->descriptor());
  });
  control.onLater(verbs::kFrameCall, [d](const verbs::FrameRequest& request, TypedResponder<verbs::FrameAnswer> answer) {
    d->frames->answerAfter(request.after, std::move(answer));
  });
  control.on(verbs::kFrontCall, [d](const verbs::FrontRequest& r) { return d->raisePid(r); });
  control.on(verbs::kPointerCall, [d](const verbs::PointerRequest& r) { return d->pointer(r); });
  control.on(verbs::kKeyCall, [d](const verbs::KeyRequest& r) { return d->key(r); });
  control.on(verbs::kWheelCall, [d](const verbs::WheelRequest& r) { return d->wheel(r); });
  control.onLater(verbs::kScaleCall, [d](const verbs::ScaleRequest& r, TypedResponder<verbs::ScaleAnswer> answer) {
    auto scaled = d->scaleTo(r);
    if (!scaled) return answer.refuse(scaled.error());
    d->scaleFor(r.scale, answer.context());
    answer(*scaled);
  });
  d->compositor->serveClipboard(control);
}

}  // namespace platform::display
