// Images (bitmaps with a scale) and the image context that draws them.
#pragma once

#include <QString>
#include <cstddef>
#include <filesystem>
#include <memory>

#include "platform/uikit/geometry.h"

class QByteArray;
class QColor;
class QImage;

namespace platform::uikit {

class UIImage;
using UIImagePtr = std::shared_ptr<UIImage>;  // null is nil

class UIImage {
 public:
  UIImage(QImage pixels, double scale);
  // nil when the file or the bytes are no image. A file named "x@2x.png"
  // has scale 2. The file is read as the platform reads files (a regular
  // file of at most 64 MiB, never waiting on a FIFO); given `folder` (a
  // bundle), it must also lie inside it, links followed.
  static UIImagePtr imageWithContentsOfFile(const QString& path, const std::filesystem::path& folder = {});
  static UIImagePtr imageWithData(const QByteArray& data, double scale = 1.0);

  CGSize size() const;  // points
  double scale() const { return scale_; }
  // The bitmap, for the code that draws with Qt.
  const QImage& pixels() const { return *pixels_; }
  QByteArray pngData() const;
  // The image drawn to fill `rect`: stretched, aspect ratio not kept.
  void drawInRect(const CGRect& rect) const;

 private:
  std::shared_ptr<const QImage> pixels_;
  double scale_;
};

// The image's shape (its alpha) filled with `color`: bars draw their
// button and tab images so, as template images in the tint.
QImage templateImage(const QImage& pixels, const QColor& color);

// kCGBlendMode values the layer honours.
enum class CGBlendMode { Normal = 0, Copy = 17 };
enum class CGInterpolationQuality { Default = 0, None = 1, Low = 2, Medium = 4, High = 3 };

// One image context of the stack: premultiplied 32-bit pixels whose bytes
// lie blue, green, red, alpha in memory, transparent black at the start.
class CGContext {
 public:
  CGContext(CGSize size, bool opaque, double scale);
  ~CGContext();
  void setInterpolationQuality(CGInterpolationQuality q) { quality_ = q; }
  CGInterpolationQuality interpolationQuality() const { return quality_; }
  void drawImage(const UIImage& image, const CGRect& rect, CGBlendMode mode, double alpha);
  // The pixel bytes (CGBitmapContextGetData), bytesPerRow wide rows.
  unsigned char* data();
  std::ptrdiff_t bytesPerRow() const;
  const QImage& pixels() const { return *pixels_; }
  double scale() const { return scale_; }

 private:
  std::unique_ptr<QImage> pixels_;
  double scale_;
  CGInterpolationQuality quality_ = CGInterpolationQuality::Default;
};

// The current thread's stack of image contexts. Scale 0 means the main
// screen's scale; UIGraphicsBeginImageContext uses 1.
void UIGraphicsBeginImageContext(CGSize size);
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale);
CGContext* UIGraphicsGetCurrentContext();  // null outside a context
UIImagePtr UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();

// Draws into the current context; does nothing outside one.
void drawInRect(const UIImage& image, const CGRect& rect, CGBlendMode mode = CGBlendMode::Normal,
                double alpha = 1.0);

}  // namespace platform::uikit
