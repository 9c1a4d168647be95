// What the home screen asks of its device's display.
#pragma once

#include <sys/types.h>

#include <filesystem>

#include "platform/automation/link.h"

namespace platform::display {

// The title of the home screen's window that lies over every other: the
// display stacks it over whichever window is in front, by its alpha, and
// hands it the touches inside its input region. Another process's window
// of this title is an ordinary window.
inline constexpr const char* kOverlayTitle = "overlay";

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

 private:
  automation::Link link_;
};

}  // namespace platform::display
