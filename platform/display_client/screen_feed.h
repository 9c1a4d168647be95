// What a viewer of the device's screen needs of its display, for the device
// window and the browser server alike: each frame newer than the last one
// seen, read from the frame memory the display hands over its control
// socket, and the finger and keys sent back.
// It reconnects should the display end and come back.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/display_client/frame_file.h"

namespace platform::automation {
class Link;
}

namespace platform::display {

class ScreenFeed : public QObject {
 public:
  // The display draws at a pixel a point again once the feed's
  // connections end.
  ScreenFeed(std::filesystem::path deviceRoot, QObject* parent = nullptr);

  // Connects and asks for the first frame, or says why not.
  Result<void, std::string> connectDisplay();

  // The pixels a point (1 or 2) the device's windows draw at; sent again
  // to a display that comes back.
  void setScale(int pixelsPerPoint);
  int scale() const { return scale_; }
  // The finger at a point of the screen, in points: "down", "move", "up".
  void finger(QPointF at, const char* phase);
  // An X key code pressed or let go, with the modifiers held.
  void key(int code, bool down, bool shift = false, bool control = false, bool alt = false);
  // The wheel turned by `delta` (120 a notch) with the pointer at a point.
  void wheel(QPointF at, int delta);
  // The device's clipboard holds `text`, in order with the finger and the
  // keys: a paste typed after it pastes it.
  void setClipboard(const QString& text);
  std::filesystem::path socket() const;

  // A new frame, its own copy; a null image when the display has none.
  std::function<void(const QImage&)> onFrame;
  // The display ended while the device still runs (killed): the feed
  // retries each second; onBack once it is there again.
  std::function<void()> onLost;
  std::function<void()> onBack;
  // The display ended as asked, with the device (shutdown).
  std::function<void()> onEnded;

 private:
  Result<FrameFile, std::string> frameMemory() const;
  void next();
  void lost();

  std::filesystem::path root_;
  platform::automation::Link* frames_;
  platform::automation::Link* input_;
  std::optional<FrameFile> file_;
  quint64 seq_ = 0;
  int scale_ = 1;
  QTimer retry_;
};

}  // namespace platform::display
