#include "viewer/image_helpers.h"

#include "platform/foundation/base64.h"
#include "platform/foundation/device_paths.h"

namespace calmora::viewer {

using namespace platform::uikit;

UIImagePtr decodeBase64ToImage(std::string_view text) {
  auto bytes = platform::base64Decode(text, platform::Base64Decoding::IgnoreUnknownCharacters);
  if (!bytes || bytes->empty()) return nullptr;
  return UIImage::imageWithData(QByteArray(bytes->data(), qsizetype(bytes->size())));
}

UIImagePtr imageWithImage(const UIImagePtr& image, CGSize size) {
  UIGraphicsBeginImageContext(size);
  if (image) drawInRect(*image, CGRect(0, 0, size.width, size.height));
  UIImagePtr result = UIGraphicsGetImageFromCurrentImageContext();
  UIGraphicsEndImageContext();
  return result;
}

UIColor getAverageColor(const UIImagePtr& image) {
  UIGraphicsBeginImageContext(CGSize(1, 1));
  CGContext* context = UIGraphicsGetCurrentContext();
  context->setInterpolationQuality(CGInterpolationQuality::Medium);
  if (image) drawInRect(*image, CGRect(0, 0, 1, 1), CGBlendMode::Copy, 1.0);
  const unsigned char* px = context->data();
  // Single-precision divisions, widened, as the pixel is read on the phone.
  UIColor color = UIColor::colorWithRed(px[2] / 255.0f, px[1] / 255.0f, px[0] / 255.0f, 1.0);
  UIGraphicsEndImageContext();
  return color;
}

UIImagePtr artwork(std::string_view phonePath, double side) {
  auto path = platform::devicePath(phonePath);
  // The artwork is a file of the pane's bundle: a link out of it is not followed.
  return imageWithImage(UIImage::imageWithContentsOfFile(QString::fromStdString(path.string()), path.parent_path()),
                        CGSize(side, side));
}

}  // namespace calmora::viewer
