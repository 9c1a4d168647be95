// The display's Wayland socket, RUN_DIR/display.wayland, served by the
// display itself rather than by libwayland, so that its clients are
// bounded: at most kMaxClients at once and kMaxClientsPerProcess of one
// process, of this user alone; a process that opens connection after
// connection is refused, not the display run out of descriptors. Out of
// descriptors all the same, the listener rests instead of spinning.
#pragma once

#include <QSocketNotifier>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/error.h"

struct wl_display;

namespace platform::display {

inline constexpr size_t kMaxClients = 64;
inline constexpr long kMaxClientsPerProcess = 4;
inline constexpr int kAcceptPauseMs = 250;

class ClientGate {
 public:
  ClientGate() = default;
  // Stops serving and removes the socket file.
  ~ClientGate();
  ClientGate(const ClientGate&) = delete;
  ClientGate& operator=(const ClientGate&) = delete;

  // Serves `socketFile` for `display`, needing a Qt event loop.
  Result<void, std::string> listen(const std::filesystem::path& socketFile, wl_display* display);

  struct Client;  // one served, until libwayland destroys it

 private:
  void accept();
  void pause();

  wl_display* display_ = nullptr;
  std::filesystem::path file_;
  int listener_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::vector<Client*> clients_;
};

}  // namespace platform::display
