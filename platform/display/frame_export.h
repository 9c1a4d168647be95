// What the display shows, handed to the device window: each new frame is
// copied into the other slot of the frame memory, and the requests waiting
// for a newer frame are answered with its slot and size.
#pragma once

#include <QImage>
#include <QJsonObject>
#include <string>
#include <vector>

#include "platform/automation/display_verbs.h"
#include "platform/automation/server.h"
#include "platform/display_client/frame_file.h"

namespace platform::display {

class FrameExport {
 public:
  // Room for frames of at most `largest` pixels.
  static Result<FrameExport, std::string> create(QSize largest);

  // Shows `frame` (32 bits a pixel), or an empty screen for a null image.
  void publish(const QImage& frame);
  // The slot and size of the frame shown.
  automation::display::FrameAnswer shown() const;
  // Answers with the frame shown once it is newer than `after`.
  void answerAfter(double after, automation::TypedResponder<automation::display::FrameAnswer> answer);
  // The memory's descriptor, to hand to a window.
  int descriptor() const { return memory_.descriptor(); }

 private:
  explicit FrameExport(FrameFile memory) : memory_(std::move(memory)) {}
  FrameFile memory_;
  quint64 seq_ = 0;
  FrameSize shown_;
  std::vector<automation::TypedResponder<automation::display::FrameAnswer>> waiting_;  // not yet answered
};

}  // namespace platform::display
