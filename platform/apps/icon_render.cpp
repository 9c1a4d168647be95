#include "platform/apps/icon_render.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <list>
#include <mutex>
#include <system_error>

#include "platform/foundation/log.h"

namespace platform::apps {

namespace fs = std::filesystem;

namespace {

// Far beyond any icon; guards against a caller's nonsense size allocating
// gigabytes.
constexpr int kMaxPixels = 4096;

// Decoded icon PNGs, so that rendering the same app again (every blocked
// event from it) does not decode its PNG again. An entry is valid while the
// file keeps its modification time and size.
class SourceCache {
 public:
  QImage load(const fs::path& file) {
    std::error_code ec;
    auto mtime = fs::last_write_time(file, ec);
    std::uintmax_t size = ec ? 0 : fs::file_size(file, ec);
    if (ec) {
      platform::log("IconRender: cannot read icon ", file.string(), ": ", ec.message());
      return {};
    }
    {
      std::lock_guard lock(mutex_);
      for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->file != file) continue;
        if (it->mtime == mtime && it->size == size) {
          entries_.splice(entries_.begin(), entries_, it);  // most recently used first
          return entries_.front().image;
        }
        entries_.erase(it);
        break;
      }
    }
    // Decoded outside the lock so that one slow file does not hold up others.
    QImage image(QString::fromStdString(file.string()));
    if (image.isNull()) {
      platform::log("IconRender: icon ", file.string(), " is not a readable image");
      return {};
    }
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::lock_guard lock(mutex_);
    entries_.push_front({file, mtime, size, image});
    if (entries_.size() > kCapacity) entries_.pop_back();
    return image;
  }

 private:
  static constexpr size_t kCapacity = 64;
  struct Entry {
    fs::path file;
    fs::file_time_type mtime;
    std::uintmax_t size;
    QImage image;
  };
  std::mutex mutex_;
  std::list<Entry> entries_;
};

// Process-wide like the home screen's own icon cache.
SourceCache& sourceCache() {
  static SourceCache cache;
  return cache;
}

}  // namespace

platform::uikit::UIImagePtr renderIcon(const AppInfo& app, double width, double height, double scale, double cornerRadius) {
  if (app.iconFile.empty()) return nullptr;
  double w = std::round(width * scale);
  double h = std::round(height * scale);
  if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1 || w > kMaxPixels || h > kMaxPixels ||
      !(scale > 0)) {
    platform::log("IconRender: cannot render ", app.bundleIdentifier, " at ", width, "x", height,
                  " scale ", scale);
    return nullptr;
  }
  QImage source = sourceCache().load(app.iconFile);
  if (source.isNull()) return nullptr;

  const int pw = static_cast<int>(w);
  const int ph = static_cast<int>(h);
  QImage out(pw, ph, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  {
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    // Smooth (area-averaging when shrinking) scaling first, then an
    // antialiased rounded mask: a clip path would leave jagged corners. The
    // mask is a whole image because DestinationIn only clears where it draws.
    painter.drawImage(0, 0, source.scaled(pw, ph, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    double radius = std::isfinite(cornerRadius) ? cornerRadius * scale : 0.0;
    radius = std::clamp(radius, 0.0, std::min(w, h) / 2);
    if (radius > 0) {
      QImage mask(pw, ph, QImage::Format_ARGB32_Premultiplied);
      mask.fill(Qt::transparent);
      {
        QPainter maskPainter(&mask);
        maskPainter.setRenderHint(QPainter::Antialiasing);
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(0, 0, w, h), radius, radius);
        maskPainter.fillPath(rounded, Qt::black);
      }
      painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
      painter.drawImage(0, 0, mask);
    }
  }
  return std::make_shared<platform::uikit::UIImage>(std::move(out), scale);
}

platform::uikit::UIImagePtr renderIconLegacy(const AppInfo& app, int format) {
  const double side = format == 0 ? 29.0 : 60.0;
  // The same corner proportion as the 60-point icon's 12-point radius.
  return renderIcon(app, side, side, 1.0, side * 0.2);
}

}  // namespace platform::apps
