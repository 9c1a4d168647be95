#include "platform/apps/image.h"

#include <gtest/gtest.h>

namespace {

using platform::apps::Image;
using platform::apps::pngRepresentation;

TEST(Image, PngRepresentationKeepsSizeAndPixelsAndIsEmptyForNull) {
  EXPECT_EQ(pngRepresentation(Image()), "");
  EXPECT_TRUE(Image().isNull());

  QImage q(3, 2, QImage::Format_ARGB32_Premultiplied);
  q.fill(Qt::transparent);
  q.setPixelColor(0, 0, QColor(255, 0, 0));
  q.setPixelColor(2, 1, QColor(0, 0, 255, 255));
  q.setDevicePixelRatio(2.0);
  Image image(q);
  EXPECT_EQ(image.pixelWidth(), 3);
  EXPECT_EQ(image.pixelHeight(), 2);
  EXPECT_DOUBLE_EQ(image.scale(), 2.0);
  EXPECT_DOUBLE_EQ(image.width(), 1.5);

  std::string png = pngRepresentation(image);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  QImage back = QImage::fromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG");
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(back.size(), QSize(3, 2));
  EXPECT_EQ(back.pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(back.pixelColor(2, 1), QColor(0, 0, 255));
  EXPECT_EQ(back.pixelColor(1, 0).alpha(), 0);
}

}  // namespace
