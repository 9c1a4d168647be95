#include "platform/display/frame_export.h"

#include "platform/foundation/log.h"

namespace platform::display {

Result<FrameExport, std::string> FrameExport::create(QSize largest) {
  auto memory = FrameFile::create(static_cast<size_t>(largest.width()) * static_cast<size_t>(largest.height()) * 4);
  if (!memory) return memory.error();
  return FrameExport(std::move(*memory));
}

void FrameExport::publish(const QImage& frame) {
  FrameSize next;
  if (!frame.isNull()) next = FrameSize{frame.width(), frame.height(), static_cast<int>(frame.bytesPerLine())};
  const int slot = static_cast<int>((seq_ + 1) % 2);
  if (!memory_.write(slot, next, frame.isNull() ? nullptr : frame.constBits())) {
    log("display: a frame of ", next.width, "x", next.height, " does not fit the frame memory; not shown");
    return;
  }
  ++seq_;
  shown_ = next;
  auto pending = std::move(waiting_);
  waiting_.clear();
  for (auto& answer : pending) answer(shown());
}

automation::display::FrameAnswer FrameExport::shown() const {
  return {static_cast<double>(seq_), static_cast<double>(seq_ % 2), static_cast<double>(shown_.width),
          static_cast<double>(shown_.height), static_cast<double>(shown_.stride)};
}

void FrameExport::answerAfter(double after, automation::TypedResponder<automation::display::FrameAnswer> answer) {
  if (static_cast<double>(seq_) > after) return answer(shown());
  std::erase_if(waiting_, [](const auto& r) { return !r.wanted(); });
  waiting_.push_back(std::move(answer));
}

}  // namespace platform::display
