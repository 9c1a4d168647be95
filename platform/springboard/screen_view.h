// The device's screen as a widget: wallpaper, the home screen's icon grid,
// and the status-bar window with its subviews (the marker among them).
#pragma once

#include <QImage>
#include <QWidget>

namespace platform::springboard {

class SpringBoard;

class ScreenView : public QWidget {
 public:
  explicit ScreenView(const SpringBoard& board, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const SpringBoard& board_;
};

// The screen rendered at the device's scale (points x scale pixels).
QImage renderScreen(const SpringBoard& board);

}  // namespace platform::springboard
