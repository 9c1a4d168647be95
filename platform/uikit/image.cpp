#include "platform/uikit/image.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QFileInfo>
#include <QPainter>
#include <vector>

#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/uikit/qt_geometry_p.h"
#include "platform/uikit/screen.h"

namespace platform::uikit {

UIImage::UIImage(QImage pixels, double scale)
    : pixels_(std::make_shared<const QImage>(std::move(pixels))), scale_(scale > 0 ? scale : 1.0) {}

UIImagePtr UIImage::imageWithContentsOfFile(const QString& path, const std::filesystem::path& folder) {
  const std::filesystem::path file = path.toStdString();
  auto bytes = folder.empty() ? readFile(file) : readFileInside(folder, file);
  if (!bytes) {
    log("UIImage: ", bytes.error().describe());
    return nullptr;
  }
  QImage pixels;
  if (!pixels.loadFromData(reinterpret_cast<const uchar*>(bytes->data()), static_cast<int>(bytes->size())))
    return nullptr;
  QString base = QFileInfo(path).completeBaseName();
  double scale = base.endsWith("@3x") ? 3.0 : base.endsWith("@2x") ? 2.0 : 1.0;
  return std::make_shared<UIImage>(std::move(pixels), scale);
}

UIImagePtr UIImage::imageWithData(const QByteArray& data, double scale) {
  QImage pixels;
  if (data.isEmpty() || !pixels.loadFromData(data)) return nullptr;
  return std::make_shared<UIImage>(std::move(pixels), scale);
}

CGSize UIImage::size() const { return CGSize(pixels_->width() / scale_, pixels_->height() / scale_); }

QByteArray UIImage::pngData() const {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  pixels_->save(&buffer, "PNG");
  return bytes;
}

void UIImage::drawInRect(const CGRect& rect) const { uikit::drawInRect(*this, rect); }

QImage templateImage(const QImage& pixels, const QColor& color) {
  QImage out = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter p(&out);
  p.setCompositionMode(QPainter::CompositionMode_SourceIn);
  p.fillRect(out.rect(), color);
  return out;
}

CGContext::CGContext(CGSize size, bool opaque, double scale)
    : pixels_(std::make_unique<QImage>(std::max(0, int(size.width * scale + 0.5)),
                                       std::max(0, int(size.height * scale + 0.5)), QImage::Format_ARGB32_Premultiplied)),
      scale_(scale) {
  // Format_ARGB32_Premultiplied keeps 0xAARRGGBB words: on a little-endian
  // machine their bytes are blue, green, red, alpha.
  pixels_->fill(opaque ? Qt::black : Qt::transparent);
}

CGContext::~CGContext() = default;

unsigned char* CGContext::data() { return pixels_->bits(); }

std::ptrdiff_t CGContext::bytesPerRow() const { return pixels_->bytesPerLine(); }

void CGContext::drawImage(const UIImage& image, const CGRect& rect, CGBlendMode mode, double alpha) {
  if (pixels_->isNull() || image.pixels().isNull()) return;
  QPainter p(pixels_.get());
  p.scale(scale_, scale_);
  p.setCompositionMode(mode == CGBlendMode::Copy ? QPainter::CompositionMode_Source
                                                 : QPainter::CompositionMode_SourceOver);
  p.setOpacity(alpha);
  bool smooth = quality_ != CGInterpolationQuality::None;
  p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  QRectF target = toQt(rect);
  QImage source = image.pixels();
  // Reducing by more than half in one step would read only a few pixels:
  // an averaging reduction first keeps the result the mean of the image.
  QSizeF device = target.size() * scale_;
  if (smooth && device.width() >= 1 && device.height() >= 1 &&
      (source.width() > 2 * device.width() || source.height() > 2 * device.height()))
    source = source.scaled(device.toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  p.drawImage(target, source);
}

namespace {
// The image-context stack belongs to the drawing thread.
std::vector<std::unique_ptr<CGContext>>& contextStack() {
  thread_local std::vector<std::unique_ptr<CGContext>> stack;
  return stack;
}
}  // namespace

void UIGraphicsBeginImageContext(CGSize size) { UIGraphicsBeginImageContextWithOptions(size, false, 1.0); }

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale) {
  if (scale <= 0) scale = UIScreen::mainScreen().scale();
  if (!(size.width >= 0 && size.height >= 0 && size.width < 1e5 && size.height < 1e5)) {
    log("uikit: image context of size ", size.width, " x ", size.height, " refused; an empty one instead");
    size = CGSize(0, 0);
  }
  contextStack().push_back(std::make_unique<CGContext>(size, opaque, scale));
}

CGContext* UIGraphicsGetCurrentContext() {
  auto& stack = contextStack();
  return stack.empty() ? nullptr : stack.back().get();
}

UIImagePtr UIGraphicsGetImageFromCurrentImageContext() {
  CGContext* c = UIGraphicsGetCurrentContext();
  if (!c) return nullptr;
  return std::make_shared<UIImage>(c->pixels().copy(), c->scale());
}

void UIGraphicsEndImageContext() {
  auto& stack = contextStack();
  if (!stack.empty()) stack.pop_back();
}

void drawInRect(const UIImage& image, const CGRect& rect, CGBlendMode mode, double alpha) {
  if (CGContext* c = UIGraphicsGetCurrentContext()) c->drawImage(image, rect, mode, alpha);
}

}  // namespace platform::uikit
