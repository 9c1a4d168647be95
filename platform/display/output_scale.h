// The screen as the device's clients see it, at 1 or 2 pixels a point: the
// clients draw their next frames at that many pixels a point (a window
// zoomed to 200% shows them 1:1), while their surfaces, the pointer and the
// configured size stay in points.
#pragma once

#include <QDeadlineTimer>
#include <QSize>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <vector>

class QWaylandCompositor;
class QWaylandOutput;
class QWaylandView;

namespace platform::display {

class OutputScale {
 public:
  // `views` lists the views of the windows shown, to move to a new output.
  OutputScale(QWaylandCompositor* compositor, QSize points, std::function<std::vector<QWaylandView*>()> views);
  ~OutputScale();
  OutputScale(const OutputScale&) = delete;
  OutputScale& operator=(const OutputScale&) = delete;

  QWaylandOutput* output() const { return output_; }
  int scale() const;
  // 1 or 2 from the clients' next frames on.
  void scaleTo(int scale);

 private:
  QWaylandOutput* makeOutput(int scale);
  void setScale(QWaylandOutput* screen, int scale);
  void moveWindows();

  QWaylandCompositor* compositor_;
  QSize points_;
  std::function<std::vector<QWaylandView*>()> views_;
  QWindow window_;
  QWaylandOutput* output_ = nullptr;
  // Outputs of an earlier scale, kept until every window has left them.
  std::vector<QWaylandOutput*> retiring_;
  QTimer moving_;
  QDeadlineTimer movingUntil_;
};

}  // namespace platform::display
