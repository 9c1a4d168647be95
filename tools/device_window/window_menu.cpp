#include "tools/device_window/window_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cmath>

#include "tools/device_window/phone_view.h"

namespace device_window {

namespace {
constexpr double kZooms[] = {0.5, 0.75, 1.0, 2.0};
}  // namespace

WindowMenu::WindowMenu(QMainWindow* window, PhoneView* view) : QObject(window), window_(window), view_(view) {
  QMenu* menu = window->menuBar()->addMenu("&Window");
  auto* group = new QActionGroup(this);
  // Ctrl+1 shows the device at its size in points, Ctrl+2 at twice, Ctrl+0
  // as large as fits; Ctrl+- and Ctrl+= step through the levels.
  for (double z : kZooms) {
    QAction* a = menu->addAction(QString("%1%").arg(z * 100));
    a->setCheckable(true);
    if (z == 1.0) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
    if (z == 2.0) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));
    group->addAction(a);
    levels_.emplace_back(z, a);
    connect(a, &QAction::triggered, this, [this, z] { choose(z); });
  }
  fit_ = menu->addAction("&Fit to Screen");
  fit_->setCheckable(true);
  fit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  group->addAction(fit_);
  connect(fit_, &QAction::triggered, this, [this] { choose(0); });
  QAction* in = menu->addAction("Zoom &In");
  in->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
  connect(in, &QAction::triggered, this, [this] { zoomBy(+1); });
  QAction* out = menu->addAction("Zoom &Out");
  out->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
  connect(out, &QAction::triggered, this, [this] { zoomBy(-1); });

  menu->addSeparator();
  QAction* close = menu->addAction("Close Window");
  close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  connect(close, &QAction::triggered, window, &QWidget::close);

  choose(fitZoom() >= 1.0 ? 1.0 : 0);
  // The window's frame is known once a window manager framed it; the free
  // area changes with the screen's size and the desktop's panels.
  QTimer::singleShot(500, this, &WindowMenu::refit);
  window->winId();
  connect(window->windowHandle(), &QWindow::screenChanged, this, [this](QScreen* screen) {
    if (screen) connect(screen, &QScreen::availableGeometryChanged, this, &WindowMenu::refit, Qt::UniqueConnection);
    refit();
  });
  if (QScreen* screen = window->screen())
    connect(screen, &QScreen::availableGeometryChanged, this, &WindowMenu::refit, Qt::UniqueConnection);
}

double WindowMenu::fitZoom() const {
  const QScreen* screen = window_->screen();
  if (!screen) return 1.0;
  const QSize free = screen->availableGeometry().size();
  // The title bar and borders, where a window manager draws them, and the
  // menu bar take room the phone cannot have.
  const QSize frame = window_->frameGeometry().size() - window_->geometry().size();
  const double menu = window_->menuBar()->sizeHint().height();
  const QSizeF body = view_->bodyPoints();
  const double zoom = std::min((free.width() - frame.width()) / body.width(),
                               (free.height() - frame.height() - menu) / body.height());
  // In hundredths, down: the window's rounded size stays inside.
  return std::max(0.1, std::floor(zoom * 100) / 100);
}

void WindowMenu::choose(double zoom) {
  chosen_ = zoom;
  const double fit = fitZoom();
  view_->setZoom(zoom == 0 ? fit : std::min(zoom, fit));
  for (auto& [z, action] : levels_) {
    action->setEnabled(z <= fit);
    action->setChecked(z == zoom);
  }
  fit_->setChecked(zoom == 0);
  window_->setFixedSize(window_->sizeHint());
}

void WindowMenu::refit() {
  const double fit = fitZoom();
  choose(chosen_ == 0 || chosen_ > fit ? 0 : chosen_);
}

void WindowMenu::zoomBy(int step) {
  const double now = view_->zoom();
  double next = 0;
  for (auto& [z, action] : levels_)
    if (action->isEnabled() && (step > 0 ? z > now + 1e-9 && next == 0 : z < now - 1e-9)) next = z;
  if (next != 0) choose(next);
}

}  // namespace device_window
