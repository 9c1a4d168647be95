#include "platform/display_client/screen_feed.h"

#include <unistd.h>

#include <QJsonObject>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/automation/link.h"

namespace platform::display {
namespace fs = std::filesystem;
namespace verbs = platform::automation::display;
using platform::automation::Link;

ScreenFeed::ScreenFeed(fs::path deviceRoot, QObject* parent) : QObject(parent), root_(std::move(deviceRoot)) {
  frames_ = new Link(socket(), this);
  input_ = new Link(socket(), this);
  frames_->onClosed = [this] { lost(); };
  retry_.setInterval(1000);
  connect(&retry_, &QTimer::timeout, this, [this] {
    if (connectDisplay() && onBack) onBack();
  });
}

fs::path ScreenFeed::socket() const { return platform::automation::socketFile(root_, verbs::kProcess); }

Result<FrameFile, std::string> ScreenFeed::frameMemory() const {
  int fd = -1;
  auto reply = platform::automation::request(socket(), encode(verbs::kFramesCall, {}), 2000, &fd);
  if (!reply) return std::string("the display did not hand over its frames");
  if (reply.answer->contains("error")) {
    if (fd >= 0) ::close(fd);
    return "the display did not hand over its frames: " + (*reply.answer)["error"].toString().toStdString();
  }
  return FrameFile::open(fd);
}

Result<void, std::string> ScreenFeed::connectDisplay() {
  auto file = TRY(frameMemory());
  TRY(frames_->open());
  TRY(input_->open());
  file_.emplace(std::move(file));
  retry_.stop();
  seq_ = 0;
  // A display started anew, or one left at another scale by a viewer that
  // ended without a word, draws at this viewer's.
  setScale(scale_);
  next();
  return {};
}

void ScreenFeed::setScale(int pixelsPerPoint) {
  scale_ = pixelsPerPoint;
  input_->ask(verbs::kScaleCall, {static_cast<double>(pixelsPerPoint)});
}

void ScreenFeed::finger(QPointF at, const char* phase) { input_->ask(verbs::kPointerCall, {at.x(), at.y(), phase}); }

void ScreenFeed::key(int code, bool down, bool shift, bool control, bool alt) {
  input_->ask(verbs::kKeyCall, {static_cast<double>(code), down, shift, control, alt});
}

void ScreenFeed::wheel(QPointF at, int delta) {
  input_->ask(verbs::kWheelCall, {at.x(), at.y(), static_cast<double>(delta)});
}

void ScreenFeed::setClipboard(const QString& text) { input_->ask(verbs::kSetClipboardCall, {text}); }

void ScreenFeed::next() {
  using Frame = Result<verbs::FrameAnswer, QJsonObject>;
  frames_->ask(verbs::kFrameCall, {static_cast<double>(seq_)}, [this](const Frame& a) {
    if (!a || !file_) return;
    seq_ = static_cast<quint64>(a->seq);
    const FrameSize size{static_cast<int>(a->width), static_cast<int>(a->height), static_cast<int>(a->stride)};
    auto pixels = file_->read(static_cast<int>(a->slot), size);
    QImage frame;
    // Copied, so that the display may write the slot again at once.
    if (size.width > 0 && size.height > 0 && !pixels.empty())
      frame = QImage(pixels.data(), size.width, size.height, size.stride, QImage::Format_RGB32).copy();
    if (onFrame) onFrame(frame);
    next();
  });
}

void ScreenFeed::lost() {
  // A display that ended as asked (shutdown) took its pid file along; one
  // killed left it, and the feed waits for the next boot.
  std::error_code ec;
  if (!fs::exists(root_ / "run" / "display.pid", ec)) {
    if (onEnded) onEnded();
    return;
  }
  file_.reset();
  retry_.start();
  if (onLost) onLost();
}

}  // namespace platform::display
