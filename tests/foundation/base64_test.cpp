#include "platform/foundation/base64.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using platform::Base64Decoding;
using platform::base64Decode;
using platform::base64Encode;

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
  std::string text = base64Encode(bytes);
  EXPECT_EQ(text.size(), (bytes.size() + 2) / 3 * 4);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
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

}  // namespace
