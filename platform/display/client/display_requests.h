// What the home screen asks of its device's display.
#pragma once

#include <sys/types.h>

#include <QRectF>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/automation/link.h"

namespace platform::display {

// A part of a window, in points of the screen, with the radius of its
// rounded corners.
struct Area {
  QRectF rect;
  double cornerRadius = 0;
  bool operator==(const Area&) const = default;
};

// The requests go out on one kept-open connection (automation::Link), and
// nothing waits for their answers: a handler that asks stays quick whatever
// the display does. An error answer is logged. Needs an event loop.
class DisplayRequests {
 public:
  explicit DisplayRequests(const std::filesystem::path& deviceRoot);
  DisplayRequests(const DisplayRequests&) = delete;
  DisplayRequests& operator=(const DisplayRequests&) = delete;

  // Brings the window of process `pid` to front.
  void bringToFront(pid_t pid);
  // This process is the home screen: `areas` of its window show over any
  // window in front.
  void showStatusBar(const std::vector<Area>& areas);

 private:
  automation::Link link_;
};

}  // namespace platform::display
