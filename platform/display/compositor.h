// The device's screen: a Wayland compositor serving RUN_DIR/display.wayland
// to the device's own processes, headless. It keeps its windows in a stack,
// the one in front last (a new window comes to front), and hands each new
// frame of the front window to the device window, with the home screen's
// overlays (its status bar, its banners) laid over it by their alpha. Its
// parts, one job each, lie beside it.
#pragma once

#include "platform/foundation/error.h"

#include <QJsonObject>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/automation/server.h"

namespace platform::display {

class Compositor {
 public:
  // Serves nothing yet; `start` opens the socket.
  Compositor(std::filesystem::path runDir, int width, int height);
  ~Compositor();
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  // Nothing on success, else why the display cannot serve.
  Result<void, std::string> start();
  // Serves the verbs of display_verbs.h.
  void serve(automation::Server& control);

  struct Impl;

 private:
  std::unique_ptr<Impl> d_;
};

}  // namespace platform::display
