// Colours and the image context, in the process.
#include <gtest/gtest.h>

#include "platform/uikit/color.h"
#include "platform/uikit/image.h"

using namespace platform::uikit;

namespace {

UIImage solid(int w, int h, QColor c) {
  QImage pixels(w, h, QImage::Format_ARGB32);
  pixels.fill(c);
  return UIImage(pixels, 1.0);
}

TEST(UIColor, TextsNamesAndStylesGiveTheirComponents) {
  EXPECT_EQ(UIColor::fromText("#11223344")->text(UIUserInterfaceStyle::Light), "#11223344");
  EXPECT_EQ(UIColor::fromText("#112233")->text(UIUserInterfaceStyle::Light), "#112233FF");
  for (const char* bad : {"", "#12345", "112233", "#GG2233", "#1122334455"}) EXPECT_FALSE(UIColor::fromText(bad)) << bad;
  EXPECT_EQ(UIColor::named("redColor")->text(UIUserInterfaceStyle::Light), "#FF0000FF");
  EXPECT_FALSE(UIColor::named("noSuchColor"));
  UIColor label = *UIColor::named("labelColor");
  EXPECT_EQ(label.text(UIUserInterfaceStyle::Light), "#000000FF");
  EXPECT_EQ(label.text(UIUserInterfaceStyle::Dark), "#FFFFFFFF");
  double r, g, b, a;
  UIColor::colorWithRed(1, 0.5, 2, -1).getRed(&r, &g, &b, &a);
  EXPECT_NEAR(g, 0.5, 1e-4);
  EXPECT_EQ(b, 1.0);
  EXPECT_EQ(a, 0.0);
}

TEST(ImageContext, StartsTransparentBlackAndKeepsPremultipliedBytesInBlueGreenRedAlphaOrder) {
  UIGraphicsBeginImageContext(CGSize(2, 1));
  CGContext* c = UIGraphicsGetCurrentContext();
  ASSERT_NE(c, nullptr);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(c->data()[i], 0) << i;
  // Copy replaces the pixel, transparency included: half-transparent red
  // lands as premultiplied (0, 0, 128, 128).
  drawInRect(solid(4, 4, QColor(255, 0, 0, 128)), CGRect(0, 0, 1, 1), CGBlendMode::Copy, 1.0);
  const unsigned char* px = c->data();
  EXPECT_EQ(px[0], 0);
  EXPECT_EQ(px[1], 0);
  EXPECT_NEAR(px[2], 128, 1);
  EXPECT_NEAR(px[3], 128, 1);
  EXPECT_EQ(px[7], 0) << "outside the rectangle nothing is drawn";
  UIImagePtr image = UIGraphicsGetImageFromCurrentImageContext();
  UIGraphicsEndImageContext();
  EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), CGSize(2, 1));
}

TEST(ImageContext, ReducingAnImageToOnePixelGivesItsAverage) {
  QImage halves(40, 40, QImage::Format_ARGB32);
  halves.fill(Qt::blue);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 20; ++x) halves.setPixelColor(x, y, Qt::red);
  UIGraphicsBeginImageContext(CGSize(1, 1));
  UIGraphicsGetCurrentContext()->setInterpolationQuality(CGInterpolationQuality::Medium);
  drawInRect(UIImage(halves, 1.0), CGRect(0, 0, 1, 1), CGBlendMode::Copy, 1.0);
  const unsigned char* px = UIGraphicsGetCurrentContext()->data();
  EXPECT_NEAR(px[2], 128, 3);
  EXPECT_NEAR(px[0], 128, 3);
  EXPECT_EQ(px[1], 0);
  UIGraphicsEndImageContext();
}

TEST(UIImage, DataThatIsNoImageGivesNilAndPngDataRoundTrips) {
  EXPECT_EQ(UIImage::imageWithData(QByteArray("not an image")), nullptr);
  EXPECT_EQ(UIImage::imageWithData(QByteArray()), nullptr);
  EXPECT_EQ(UIImage::imageWithContentsOfFile("/nonexistent/x.png"), nullptr);
  UIImagePtr back = UIImage::imageWithData(solid(120, 60, Qt::green).pngData());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->size(), CGSize(120, 60));
  EXPECT_EQ(back->pixels().pixelColor(5, 5), QColor(Qt::green));
}

}  // namespace
