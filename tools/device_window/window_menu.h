// The device window's Window menu: the zoom levels, Fit to Screen, and
// Close. A zoom never makes the window larger than the desktop's free area:
// the levels that do not fit are greyed, and the window opens at 100%
// where that fits, else at Fit to Screen (the largest zoom that fits).
#pragma once

#include <QObject>
#include <vector>

class QAction;
class QMainWindow;

namespace device_window {

class PhoneView;

class WindowMenu : public QObject {
 public:
  WindowMenu(QMainWindow* window, PhoneView* view);

  // The largest zoom at which the window fits the free area of its screen.
  double fitZoom() const;

 private:
  // Shows the view at `zoom` (0: Fit to Screen) and sizes the window to it.
  void choose(double zoom);
  // After the screen or the window's frame changed: greys the levels that
  // no longer fit, and fits the window again where it no longer does.
  void refit();
  void zoomBy(int step);

  QMainWindow* window_;
  PhoneView* view_;
  double chosen_ = 1.0;  // 0: Fit to Screen
  std::vector<std::pair<double, QAction*>> levels_;
  QAction* fit_;
};

}  // namespace device_window
