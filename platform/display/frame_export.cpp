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

QJsonObject FrameExport::shown() const {
  return QJsonObject{{"seq", static_cast<double>(seq_)}, {"slot", static_cast<int>(seq_ % 2)},
                     {"width", shown_.width},          {"height", shown_.height},
                     {"stride", shown_.stride}};
}

void FrameExport::answerAfter(double after, automation::Responder answer) {
  if (static_cast<double>(seq_) > after) return answer(shown());
  std::erase_if(waiting_, [](const automation::Responder& r) { return !r.wanted(); });
  waiting_.push_back(std::move(answer));
}

}  // namespace platform::display
