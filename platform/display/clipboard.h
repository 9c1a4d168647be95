// The device's clipboard, shared with the desktop through the display: text
// a device process copies is kept and handed to whoever waits for it (the
// device window puts it on the desktop's clipboard), and text the desktop
// copied becomes the selection every device process pastes from.
#pragma once

#include <QString>
#include <QWaylandCompositor>
#include <vector>

#include "platform/automation/display_verbs.h"
#include "platform/automation/server.h"

namespace platform::display {

class ClipboardCompositor : public QWaylandCompositor {
 public:
  ClipboardCompositor();
  // Serves the verbs clipboard and setClipboard of display_verbs.h.
  void serveClipboard(automation::Server& control);

 protected:
  // A client's selection, read by the compositor so that it outlives the
  // client.
  void retainedSelectionReceived(QMimeData* data) override;

 private:
  using Waiting = automation::TypedResponder<automation::display::ClipboardAnswer>;
  QString text_;
  quint64 seq_ = 0;
  std::vector<Waiting> waiting_;
};

}  // namespace platform::display
