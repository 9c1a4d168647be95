#include "platform/apps/image.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using platform::apps::Base64Decoding;
using platform::apps::base64Decode;
using platform::apps::base64Encode;
using platform::apps::Image;
using platform::apps::pngRepresentation;

TEST(Base64, EncodesTheStandardVectorsWithPadding) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xfb\xff\xbf", "+/+/"},
  };
  for (auto [plain, encoded] : vectors) {
    EXPECT_EQ(base64Encode(plain), encoded) << plain;
    EXPECT_EQ(base64Decode(encoded), plain) << encoded;
  }
}

TEST(Base64, RoundTripsEveryLengthAndNeverBreaksLines) {
  std::mt19937 rng(7);
  std::string bytes;
  for (size_t n = 0; n < 260; ++n) {
    EXPECT_EQ(base64Decode(base64Encode(bytes)), bytes) << "length " << n;
    bytes.push_back(static_cast<char>(rng()));
  }
  std::string big(200000, '\0');
  for (char& c : big) c = static_cast<char>(rng());
  std::string text = base64Encode(big);
  EXPECT_EQ(text.size(), (big.size() + 2) / 3 * 4);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(base64Decode(text), big);
}

TEST(Base64, DecodingRefusesMalformedTextAndSkipsStraysOnlyWhenAsked) {
  EXPECT_EQ(base64Decode("Zm9vYg"), "foob") << "padding may be left out";
  EXPECT_EQ(base64Decode("Zm9vYmE"), "fooba");
  for (const char* bad : {"Z", "Zm9vY", "Zg=", "Zg===", "====", "Zg==Zg==", "Zm9v!", "Zm 9v"})
    EXPECT_FALSE(base64Decode(bad)) << bad;

  const char* wrapped = "Zm9v\r\nYmFy\n";
  EXPECT_FALSE(base64Decode(wrapped));
  EXPECT_EQ(base64Decode(wrapped, Base64Decoding::IgnoreUnknownCharacters), "foobar");
  EXPECT_EQ(base64Decode("Zm9v Ym!E=", Base64Decoding::IgnoreUnknownCharacters), "fooba");
  EXPECT_FALSE(base64Decode("Zg==\nZg==", Base64Decoding::IgnoreUnknownCharacters));
  EXPECT_FALSE(base64Decode("Z\n", Base64Decoding::IgnoreUnknownCharacters));
}

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
