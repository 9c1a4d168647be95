// The desktop's clipboard and the device's hold the same text: what the
// desktop copies goes on the device's clipboard (a device process pastes
// it), and what a device process copies goes on the desktop's.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/foundation/error.h"

namespace platform::automation {
class Link;
}

namespace device_window {

class SharedClipboard : public QObject {
 public:
  SharedClipboard(std::filesystem::path displaySocket, QObject* parent);

  // (Re)connects to the display, hands it the desktop's text and waits for
  // the device's copies; or says why not.
  platform::Result<void, std::string> open();
  // Puts the desktop's text on the device's clipboard in order with the
  // keys, so that a paste typed after a copy on the desktop pastes that copy.
  std::function<void(const QString&)> putOnDevice;

 private:
  void desktopCopied();
  void wait();
  platform::automation::Link* link_;
  double seq_ = 0;
  QString shared_;  // the text both clipboards hold
};

}  // namespace device_window
