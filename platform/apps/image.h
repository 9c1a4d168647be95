// The platform's image: pixels plus the scale (pixels per point) they were
// made for. Callers outside the platform see only this type and PNG bytes.
#pragma once

#include <QImage>

#include <string>

namespace platform::apps {

class Image {
 public:
  Image() = default;
  // The scale comes from the QImage's device pixel ratio.
  explicit Image(QImage image) : image_(std::move(image)) {}

  bool isNull() const { return image_.isNull(); }
  int pixelWidth() const { return image_.width(); }
  int pixelHeight() const { return image_.height(); }
  double scale() const { return image_.isNull() ? 1.0 : image_.devicePixelRatio(); }
  // Size in points.
  double width() const { return pixelWidth() / scale(); }
  double height() const { return pixelHeight() / scale(); }
  const QImage& qimage() const { return image_; }

 private:
  QImage image_;
};

// PNG bytes of the image; empty for a null image or when encoding fails.
std::string pngRepresentation(const Image& image);

}  // namespace platform::apps
