#include "platform/display/screen_feed.h"

#include <QJsonObject>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/display/display_link.h"

namespace platform::display {
namespace fs = std::filesystem;
namespace verbs = platform::automation::display;

ScreenFeed::ScreenFeed(fs::path deviceRoot, QObject* parent) : QObject(parent), root_(std::move(deviceRoot)) {
  frames_ = new DisplayLink(socket(), this);
  input_ = new DisplayLink(socket(), this);
  frames_->onClosed = [this] { lost(); };
  retry_.setInterval(1000);
  connect(&retry_, &QTimer::timeout, this, [this] {
    if (connectDisplay() && onBack) onBack();
  });
}

fs::path ScreenFeed::socket() const { return platform::automation::socketFile(root_, verbs::kProcess); }

bool ScreenFeed::connectDisplay(std::string* why) {
  std::string reason;
  auto file = FrameFile::open(root_ / "run", &reason);
  if (!file || !frames_->open(&reason) || !input_->open(&reason)) {
    if (why) *why = reason;
    return false;
  }
  file_.emplace(std::move(*file));
  retry_.stop();
  seq_ = 0;
  // A display started anew draws at this viewer's scale.
  setScale(scale_);
  next();
  return true;
}

void ScreenFeed::setScale(int pixelsPerPoint) {
  scale_ = pixelsPerPoint;
  input_->send(QJsonObject{{"verb", verbs::kScale.name.data()}, {"scale", pixelsPerPoint}});
}

void ScreenFeed::finger(QPointF at, const char* phase) {
  input_->send(QJsonObject{{"verb", verbs::kPointer.name.data()}, {"x", at.x()}, {"y", at.y()}, {"phase", phase}});
}

void ScreenFeed::key(int code, bool down, bool shift, bool control, bool alt) {
  input_->send(QJsonObject{{"verb", verbs::kKey.name.data()},
                           {"code", code},
                           {"down", down},
                           {"shift", shift},
                           {"control", control},
                           {"alt", alt}});
}

void ScreenFeed::wheel(QPointF at, int delta) {
  input_->send(QJsonObject{{"verb", verbs::kWheel.name.data()}, {"x", at.x()}, {"y", at.y()}, {"delta", delta}});
}

void ScreenFeed::send(const QJsonObject& request) { input_->send(request); }

void ScreenFeed::next() {
  frames_->send(QJsonObject{{"verb", verbs::kFrame.name.data()}, {"after", static_cast<double>(seq_)}},
                [this](const QJsonObject& a) {
                  if (a.contains("error")) return;
                  seq_ = static_cast<quint64>(a["seq"].toDouble());
                  const FrameSize size{a["width"].toInt(), a["height"].toInt(), a["stride"].toInt()};
                  auto pixels = file_->read(a["slot"].toInt(), size);
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
