#include "platform/display/compositor.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-server-core.h>

#include <QBrush>
#include <QDeadlineTimer>
#include <QImage>
#include <QJsonArray>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWaylandBufferRef>
#include <QWaylandClient>
#include <QWaylandCompositor>
#include <QWaylandOutput>
#include <QWaylandSeat>
#include <QWaylandSurface>
#include <QWaylandView>
#include <QWaylandXdgShell>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/automation/display_verbs.h"
#include "platform/automation/socket_address.h"
#include "platform/display/frame_file.h"
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
};

QJsonObject error(const char* code, const QString& text) { return QJsonObject{{"error", text}, {"code", code}}; }

// Clients served at once, in all and of one process: a process that opens
// connection after connection is refused, not the display run out of
// descriptors.
constexpr size_t kMaxClients = 64;
constexpr long kMaxClientsPerProcess = 4;
// How long the listener rests when out of descriptors all the same.
constexpr int kAcceptPauseMs = 250;
// The name Qt's own socket takes for the moment of its creation: the
// display serves clients on a socket of its own, which bounds them.
constexpr const char* kUnservedSocketName = "display.wayland.unserved";

// A client's buffer, copied: at most `limit` pixels each way, 32 bits a
// pixel. Its memory is the client's, which may have shrunk it under the
// pool; read under libwayland's guard, such a fault is an error of that
// client (which is then dropped), not the end of the display.
QImage copyOf(const QWaylandBufferRef& buffer, QSize limit) {
  if (!buffer.hasBuffer() || !buffer.isSharedMemory()) return {};
  wl_shm_buffer* shm = wl_shm_buffer_get(buffer.wl_buffer());
  if (!shm) return {};
  wl_shm_buffer_begin_access(shm);
  const QImage shared = buffer.image();
  QImage image = shared.copy(QRect(QPoint(0, 0), shared.size().boundedTo(limit)));
  wl_shm_buffer_end_access(shm);
  if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32 &&
      image.format() != QImage::Format_ARGB32)
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return image;
}

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
  std::unique_ptr<QWaylandCompositor> compositor;
  QWaylandXdgShell* shell = nullptr;
  QWindow outputWindow;
  QWaylandOutput* output = nullptr;
  // Outputs of an earlier scale, kept until every window has left them.
  std::vector<QWaylandOutput*> retiring;
  QTimer moving;
  QDeadlineTimer movingUntil;
  std::vector<std::unique_ptr<Window>> windows;  // the front one last
  std::optional<FrameFile> frames;
  // The Wayland socket, and the clients accepted on it.
  int listener = -1;
  std::unique_ptr<QSocketNotifier> accepting;
  struct Client {
    wl_listener gone;  // first: the listener is the client's entry
    Impl* impl;
    qint64 pid;
  };
  std::vector<Client*> clients;
  quint64 seq = 0;
  FrameSize shown;
  std::vector<automation::Responder> waiting;  // frame requests not yet answered
  // The surface the frame last came from: a new front one is shown at once.
  const QWaylandSurface* shownSurface = nullptr;
  // The home screen's process, and the rectangles of its window (its status
  // bar, in points) drawn over any other window in front, as a phone's
  // status bar lies over every app.
  struct Area {
    QRectF rect;
    double radius = 0;
  };
  qint64 homePid = 0;
  std::vector<Area> statusBar;

  ~Impl() {
    windows.clear();
    accepting.reset();
    if (listener >= 0) {
      ::unlinkat(runFolder, kWaylandSocketName, 0);
      ::close(listener);
    }
    compositor.reset();
    if (runFolder >= 0) ::close(runFolder);
  }

  // Serves RUN_DIR/display.wayland: reachable by this user alone, as the
  // folder is.
  Result<void, std::string> listen() {
    const fs::path file = runDir / kWaylandSocketName;
    auto address = automation::SocketAddress::of(file);
    if (!address) return "cannot reach " + file.string();
    ::unlinkat(address->folder(), address->name().c_str(), 0);
    listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener < 0 || ::fchmod(listener, 0600) != 0 || ::bind(listener, address->get(), address->size()) != 0 ||
        ::listen(listener, 128) != 0)
      return "cannot listen on " + file.string() + ": " + std::strerror(errno);
    accepting = std::make_unique<QSocketNotifier>(listener, QSocketNotifier::Read);
    QObject::connect(accepting.get(), &QSocketNotifier::activated, accepting.get(), [this] { acceptClients(); });
    return {};
  }

  void acceptClients() {
    for (;;) {
      const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) pauseAccepting();
        return;
      }
      ucred peer{};
      socklen_t length = sizeof peer;
      const bool known = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0;
      const long ofPeer = std::count_if(clients.begin(), clients.end(), [&](const Client* c) { return c->pid == peer.pid; });
      const char* refused = !known || peer.uid != ::geteuid() ? "of another user"
                            : clients.size() >= kMaxClients     ? "beyond the most served at once"
                            : ofPeer >= kMaxClientsPerProcess   ? "beyond the most of one process"
                                                                : nullptr;
      wl_client* client = refused ? nullptr : wl_client_create(compositor->display(), fd);
      if (!client) {
        if (refused) log("display: refused a client ", refused, " (pid ", peer.pid, ", uid ", peer.uid, ")");
        ::close(fd);
        continue;
      }
      auto* entry = new Client{{}, this, peer.pid};
      entry->gone.notify = [](wl_listener* gone, void*) {
        auto* c = reinterpret_cast<Client*>(gone);
        std::erase(c->impl->clients, c);
        delete c;
      };
      wl_client_add_destroy_listener(client, &entry->gone);
      clients.push_back(entry);
    }
  }

  // Out of descriptors: the waiting connection stays, and so would the
  // listener's readiness; it is looked at again after a rest, not at once
  // again and again.
  void pauseAccepting() {
    log("display: cannot accept a client: ", std::strerror(errno));
    accepting->setEnabled(false);
    QTimer::singleShot(kAcceptPauseMs, accepting.get(), [this] {
      accepting->setEnabled(true);
      acceptClients();
    });
  }

  Window* front() const { return windows.empty() ? nullptr : windows.back().get(); }

  Window* find(const QWaylandSurface* surface) const {
    for (auto& w : windows)
      if (w->surface == surface) return w.get();
    return nullptr;
  }

  // The latest window of process `pid`, should it have several; none for
  // no process (0: unknown).
  Window* latestOf(qint64 pid) const {
    if (pid <= 0) return nullptr;
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
      if ((*it)->pid == pid) return it->get();
    return nullptr;
  }

  // Whether a commit of `w` changes what is shown: it is in front, or it
  // is the home screen's, whose status bar lies over the app in front.
  bool shows(const Window* w) const {
    const Window* top = front();
    return w == top || (top && !statusBar.empty() && top->pid != homePid && w == latestOf(homePid));
  }

  // The most pixels a frame holds each way: the screen at the largest scale.
  QSize largest() const { return size * 2; }

  // Copies the front window's current buffer, or an empty screen, into the
  // other slot and answers the requests waiting for a frame.
  void publish() {
    Window* top = front();
    QImage image = top ? copyOf(top->view->currentBuffer(), largest()) : QImage();
    shownSurface = top ? top->surface : nullptr;
    if (!image.isNull() && top->pid != homePid) drawStatusBar(image);
    FrameSize next;
    if (!image.isNull()) next = FrameSize{image.width(), image.height(), static_cast<int>(image.bytesPerLine())};
    const int slot = static_cast<int>((seq + 1) % 2);
    if (!frames->write(slot, next, image.isNull() ? nullptr : image.constBits())) {
      log("display: a frame of ", next.width, "x", next.height, " does not fit the frame memory; not shown");
      return;
    }
    ++seq;
    shown = next;
    auto pending = std::move(waiting);
    waiting.clear();
    for (auto& answer : pending) answer(frameAnswer());
  }

  // Draws the home screen's status bar over `frame`: small rectangles,
  // copied at the frame's scale.
  void drawStatusBar(QImage& frame) {
    const Window* home = statusBar.empty() ? nullptr : latestOf(homePid);
    if (!home) return;
    const QImage source = copyOf(home->view->currentBuffer(), largest());
    if (source.isNull()) return;
    QPainter painter(&frame);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const double from = source.width() / static_cast<double>(size.width());
    const double to = frame.width() / static_cast<double>(size.width());
    for (const Area& a : statusBar) {
      const QRectF into(a.rect.topLeft() * to, a.rect.size() * to);
      if (a.radius <= 0) {
        painter.drawImage(into, source, QRectF(a.rect.topLeft() * from, a.rect.size() * from));
        continue;
      }
      // Rounded, its edge blended with the app below.
      QBrush brush(source);
      brush.setTransform(QTransform::fromScale(to / from, to / from));
      painter.save();
      painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setPen(Qt::NoPen);
      painter.setBrush(brush);
      painter.drawRoundedRect(into, a.radius * to, a.radius * to);
      painter.restore();
    }
  }

  QJsonObject frameAnswer() const {
    return QJsonObject{{"seq", static_cast<double>(seq)}, {"slot", static_cast<int>(seq % 2)},
                       {"width", shown.width},         {"height", shown.height},
                       {"stride", shown.stride}};
  }

  void raise(Window* w) {
    auto it = std::find_if(windows.begin(), windows.end(), [&](auto& p) { return p.get() == w; });
    if (it == windows.end()) return;
    std::rotate(it, it + 1, windows.end());
    focus();
    publish();
  }

  void focus() {
    QWaylandSeat* seat = compositor->defaultSeat();
    if (Window* top = front()) seat->setKeyboardFocus(top->surface);
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
    w->view->setOutput(output);
    w->pid = w->surface->client() ? w->surface->client()->processId() : 0;
    // The screen's size, as a phone gives every app its whole screen.
    toplevel->sendConfigure(size, QList<QWaylandXdgToplevel::State>{QWaylandXdgToplevel::ActivatedState});
    windows.push_back(std::move(w));
    focus();
  }

  void committed(QWaylandSurface* surface) {
    Window* w = find(surface);
    if (w) {
      w->view->advance();
      if (shows(w)) publish();
    }
    surface->frameStarted();
    surface->sendFrameCallbacks();
  }

  // A window in front that ends (closed, or its app crashed) leaves the
  // front to another window of its process, else to the home screen, as
  // on a phone; not to whatever app happened to be below it.
  void destroyed(QWaylandSurface* surface) {
    const Window* gone = find(surface);
    const bool wasFront = gone && gone == front();
    const qint64 pid = gone ? gone->pid : 0;
    std::erase_if(windows, [&](auto& w) { return w->surface == surface; });
    if (wasFront) {
      Window* next = latestOf(pid);
      if (!next) next = latestOf(homePid);
      if (next) return raise(next);
    }
    if (wasFront || shownSurface == surface) {
      focus();
      publish();
    }
  }

  QJsonObject status() const {
    QJsonArray list;
    for (auto& w : windows)
      list.append(QJsonObject{{"pid", static_cast<double>(w->pid)},
                              {"title", w->toplevel ? w->toplevel->title() : QString()}});
    return QJsonObject{{"running", true},
                       {"width", size.width()},
                       {"height", size.height()},
                       {"front", front() ? QJsonValue(static_cast<double>(front()->pid)) : QJsonValue()},
                       {"windows", list}};
  }

  QJsonObject pointer(const QJsonObject& request) {
    Window* top = front();
    if (!top) return error(verbs::code::kNoWindow, "no window is shown");
    const QString phase = request["phase"].toString();
    if (phase != "down" && phase != "move" && phase != "up")
      return error(automation::code::kBadArgument, "'phase' is down, move or up");
    QWaylandSeat* seat = compositor->defaultSeat();
    seat->sendMouseMoveEvent(top->view.get(), QPointF(request["x"].toDouble(), request["y"].toDouble()));
    if (phase == "down") seat->sendMousePressEvent(Qt::LeftButton);
    if (phase == "up") seat->sendMouseReleaseEvent(Qt::LeftButton);
    return QJsonObject{{"ok", true}};
  }

  QJsonObject key(const QJsonObject& request) {
    const double code = request["code"].toDouble();
    if (code < 8 || code > 255) return error(automation::code::kBadArgument, "'code' is a key code from 8 to 255");
    if (!front()) return error(verbs::code::kNoWindow, "no window is shown");
    Qt::KeyboardModifiers held;
    if (request["shift"].toBool()) held |= Qt::ShiftModifier;
    if (request["control"].toBool()) held |= Qt::ControlModifier;
    if (request["alt"].toBool()) held |= Qt::AltModifier;
    // A full key event: the seat brings the client's modifiers in line with
    // the ones held before it sends the key.
    QKeyEvent event(request["down"].toBool() ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_unknown, held,
                    static_cast<quint32>(code), 0, 0);
    compositor->defaultSeat()->sendFullKeyEvent(&event);
    return QJsonObject{{"ok", true}};
  }

  QJsonObject raisePid(const QJsonObject& request) {
    const auto pid = static_cast<qint64>(request["pid"].toDouble());
    Window* w = latestOf(pid);
    if (!w) return error(verbs::code::kNoWindow, QString("process %1 has no window").arg(pid));
    raise(w);
    return QJsonObject{{"front", static_cast<double>(pid)}};
  }

  QJsonObject setStatusBar(const QJsonObject& request, qint64 peer) {
    // Another process's rectangles would lay its window over the app in front.
    if (peer <= 0 || peer != static_cast<qint64>(request["pid"].toDouble()) || peer != homeScreenPid(runDir))
      return error(verbs::code::kNotHomeScreen, "only the home screen shows the status bar");
    const QJsonArray list = request["rects"].toArray();
    if (list.size() > static_cast<qsizetype>(verbs::kMaxStatusBarRects))
      return error(automation::code::kBadArgument, QString("at most %1 rects").arg(verbs::kMaxStatusBarRects));
    std::vector<Area> areas;
    const QRectF screen(QPointF(0, 0), QSizeF(size));
    for (const QJsonValue& v : list) {
      const QJsonArray r = v.toArray();
      if ((r.size() != 4 && r.size() != 5) ||
          !std::all_of(r.begin(), r.end(), [](const QJsonValue& n) { return n.isDouble(); }))
        return error(automation::code::kBadArgument, "each rect is [x, y, width, height, corner radius]");
      const QRectF rect(r[0].toDouble(), r[1].toDouble(), r[2].toDouble(), r[3].toDouble());
      const QRectF onScreen = rect & screen;
      // Clipped by the screen's edge, its corners are no longer the view's.
      const double radius = onScreen == rect ? std::clamp(r.size() == 5 ? r[4].toDouble() : 0.0, 0.0, std::min(rect.width(), rect.height()) / 2) : 0;
      if (!onScreen.isEmpty()) areas.push_back(Area{onScreen, radius});
    }
    homePid = peer;
    statusBar = std::move(areas);
    if (front() && front()->pid != homePid) publish();
    return QJsonObject{{"ok", true}};
  }

  // The screen as the clients see it, `scale` pixels a point.
  QWaylandOutput* makeOutput(int scale) {
    auto* made = new QWaylandOutput(compositor.get(), &outputWindow);
    setScale(made, scale);
    return made;
  }

  void setScale(QWaylandOutput* screen, int scale) {
    const QWaylandOutputMode mode(size * scale, 60000);
    if (!screen->modes().contains(mode)) screen->addMode(mode, true);
    screen->setCurrentMode(mode);
    screen->setScaleFactor(scale);
  }

  // The scale: the clients draw their next frames at that many pixels a
  // point (a window zoomed to 200% shows them 1:1), while their surfaces,
  // the pointer and the configured size stay in points. A client takes a
  // new scale only when its window enters another output, so the windows
  // move to a new output of that scale, each once its client has bound it.
  QJsonObject scaleTo(const QJsonObject& request) {
    const double scale = request["scale"].toDouble();
    if (scale != 1 && scale != 2) return error(automation::code::kBadArgument, "'scale' is 1 or 2");
    if (moving.isActive()) {
      // No window has entered the new output yet: it takes this scale
      // instead, so that a flood of requests makes no more outputs.
      setScale(output, static_cast<int>(scale));
    } else if (output->scaleFactor() != static_cast<int>(scale)) {
      retiring.push_back(output);
      output = makeOutput(static_cast<int>(scale));
      compositor->setDefaultOutput(output);
      movingUntil.setRemainingTime(2000);
      moving.start();
    }
    return QJsonObject{{"scale", scale}};
  }

  // A client that has not bound the new output within the time moves all
  // the same (it keeps drawing at its old scale).
  void moveWindows() {
    bool unbound = false;
    for (auto& w : windows) {
      QWaylandClient* client = w->surface->client();
      if (client && !output->resourceForClient(client) && !movingUntil.hasExpired()) {
        unbound = true;
        continue;
      }
      w->view->setOutput(output);
    }
    if (unbound) return;
    // Where a window enters an output is said with its frame callbacks: its
    // client draws at the output's scale from then on.
    output->sendFrameCallbacks();
    moving.stop();
    for (QWaylandOutput* old : retiring) delete old;
    retiring.clear();
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

  // Room for a frame at the largest scale, four bytes a pixel.
  const QSize largest = d_->largest();
  auto frames = FrameFile::create(static_cast<size_t>(largest.width()) * static_cast<size_t>(largest.height()) * 4);
  if (!frames) return frames.error();
  d_->frames.emplace(std::move(*frames));

  // This process alone serves the device's display (it holds display.sock):
  // what a killed one left, or anything planted at the names, goes.
  for (std::string name : {std::string(kUnservedSocketName), std::string(kUnservedSocketName) + ".lock"})
    ::unlinkat(d_->runFolder, name.c_str(), 0);
  if (auto listening = d_->listen(); !listening) return listening.error();
  // A deep device's socket is reached through the folder's descriptor: an
  // address holds 107 bytes.
  const bool fits = (d_->runDir / kUnservedSocketName).string().size() < 107;
  ::setenv("XDG_RUNTIME_DIR", fits ? d_->runDir.c_str() : ("/proc/self/fd/" + std::to_string(d_->runFolder)).c_str(), 1);
  const mode_t before = ::umask(077);
  wl_log_set_handler_server(logWayland);
  d_->compositor = std::make_unique<QWaylandCompositor>();
  d_->compositor->setSocketName(kUnservedSocketName);
  d_->compositor->setUseHardwareIntegrationExtension(false);
  d_->shell = new QWaylandXdgShell(d_->compositor.get());
  d_->outputWindow.resize(d_->size);
  d_->output = d_->makeOutput(1);
  d_->moving.setInterval(10);
  QObject::connect(&d_->moving, &QTimer::timeout, [impl = d_.get()] { impl->moveWindows(); });
  QObject::connect(d_->compositor.get(), &QWaylandCompositor::surfaceCreated, d_->compositor.get(),
                   [impl = d_.get()](QWaylandSurface* s) { impl->surfaceCreated(s); });
  QObject::connect(d_->shell, &QWaylandXdgShell::toplevelCreated, d_->compositor.get(),
                   [impl = d_.get()](QWaylandXdgToplevel* t, QWaylandXdgSurface* s) { impl->toplevelCreated(t, s); });
  d_->compositor->create();
  ::umask(before);
  // Nobody connects to Qt's own socket: gone from the folder, it is not reachable.
  for (std::string name : {std::string(kUnservedSocketName), std::string(kUnservedSocketName) + ".lock"})
    ::unlinkat(d_->runFolder, name.c_str(), 0);
  d_->publish();
  return {};
}

void Compositor::serve(automation::Server& control) {
  Impl* d = d_.get();
  control.on(verbs::kStatus.name, [d](const QJsonObject&) { return d->status(); });
  control.onLater(verbs::kFrame.name, [d](const QJsonObject& request, automation::Responder answer) {
    if (static_cast<double>(d->seq) > request["after"].toDouble()) return answer(d->frameAnswer());
    std::erase_if(d->waiting, [](const automation::Responder& r) { return !r.wanted(); });
    d->waiting.push_back(std::move(answer));
  });
  control.on(verbs::kFront.name, [d](const QJsonObject& r) { return d->raisePid(r); });
  control.onLater(verbs::kStatusBar.name, [d](const QJsonObject& r, automation::Responder answer) {
    answer(d->setStatusBar(r, answer.peerPid()));
  });
  control.onLater(verbs::kFrames.name, [d](const QJsonObject&, automation::Responder answer) {
    answer(QJsonObject{{"ok", true}}, d->frames->descriptor());
  });
  control.on(verbs::kPointer.name, [d](const QJsonObject& r) { return d->pointer(r); });
  control.on(verbs::kKey.name, [d](const QJsonObject& r) { return d->key(r); });
  control.on(verbs::kScale.name, [d](const QJsonObject& r) { return d->scaleTo(r); });
}

}  // namespace platform::display
