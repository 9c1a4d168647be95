// The device's screen as a widget: wallpaper, the home screen's icon grid,
// and the status-bar window with its subviews (the marker among them).
#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>
#include <vector>

#include "platform/apps/app_registry.h"

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

// Where an installed app's icon lies on the screen, in points; the label
// lies below the icon.
struct IconSlot {
  platform::apps::AppInfo app;
  QRectF icon;
};
// The home screen's icon grid in its order: the icons that fit on screen.
std::vector<IconSlot> iconLayout(const SpringBoard& board);

// The screen rendered at the device's scale (points x scale pixels).
QImage renderScreen(const SpringBoard& board);

}  // namespace platform::springboard
