// The phone on the desk: its body, the screen showing the display's latest
// frame at the chosen zoom, and the Home button under it. The mouse is the
// finger on the screen; keys go to the focused field.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

namespace device_window {

class PhoneView : public QWidget {
 public:
  PhoneView(QSize screenPoints, QWidget* parent = nullptr);

  void setZoom(double zoom);
  double zoom() const { return zoom_; }
  void setFrame(QImage frame);
  const QImage& frame() const { return frame_; }
  // A line over the screen while the display cannot be reached; empty: none.
  void setNotice(const QString& notice);

  // The finger at a point of the screen, in points: "down", "move", "up".
  std::function<void(QPointF point, const char* phase)> onFinger;
  std::function<void(int code, bool down, Qt::KeyboardModifiers held)> onKey;
  // The wheel or the touchpad turned by `delta` (120 a notch) with the
  // pointer at a point of the screen.
  std::function<void(QPointF point, int delta)> onWheel;
  std::function<void()> onHome;
  // The pixels a point (1 or 2) the screen is shown at best, asked of the
  // display when the zoom changes.
  std::function<void(int scale)> onScale;
  int scale() const;

  QSize sizeHint() const override;
  // The phone's body, the screen with the frame around it, in points.
  QSizeF bodyPoints() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

 private:
  QRectF screenRect() const;
  QRectF homeRect() const;
  QPointF toScreen(QPointF widgetPoint) const;

  QSize points_;
  double zoom_ = 1.0;
  QImage frame_;
  QString notice_;
  bool fingerDown_ = false;
  int wheelLeft_ = 0;  // a touchpad's turn too small to send yet
};

}  // namespace device_window
