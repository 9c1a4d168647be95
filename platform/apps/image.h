// The platform's image: pixels plus the scale (pixels per point) they were
// made for. Callers outside the platform see only this type and PNG bytes.
#pragma once

#include <QImage>

#include <optional>
#include <string>
#include <string_view>

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

// Standard alphabet with '=' padding and no line breaks, however long.
std::string base64Encode(std::string_view bytes);

enum class Base64Decoding {
  Strict,                   // anything outside the alphabet fails the decode
  IgnoreUnknownCharacters,  // line breaks and other strays are skipped
};
// Nothing when the text is not base64 under the chosen rule. Padding may be
// left out; data after padding is refused.
std::optional<std::string> base64Decode(std::string_view text,
                                        Base64Decoding mode = Base64Decoding::Strict);

}  // namespace platform::apps
