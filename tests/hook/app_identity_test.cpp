#include <gtest/gtest.h>

#include <QImage>

#include "hook/app_identity.h"
#include "hook/process_state.h"
#include "platform/apps/image.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/device_description.h"
#include "tests/hook/device_support.h"

namespace calmora {
namespace {

// The PNG inside an icon text; a null image when the text is not one.
QImage decodeIcon(const platform::Text& text) {
  if (!text) return {};
  EXPECT_EQ(text->find_first_of("\r\n"), std::string::npos);
  auto png = platform::base64Decode(*text);
  if (!png || !png->starts_with("\x89PNG")) return {};
  QImage image;
  image.loadFromData(reinterpret_cast<const uchar*>(png->data()), static_cast<int>(png->size()), "PNG");
  return image;
}

void expectSpecs(double scale) {
  const auto& s = process().iconspecs;
  EXPECT_EQ(s.width, 60.0);
  EXPECT_EQ(s.height, 60.0);
  EXPECT_EQ(s.scale, scale);
  EXPECT_EQ(s.continuousCornerRadius, 12.0);
}

class AppIdentity : public testing::HookDevice {
 protected:
  void bootWith(const std::string& systemVersion, double scale) {
    platform::DeviceDescription d;
    d.systemVersion = systemVersion;
    d.screenScale = scale;
    ASSERT_TRUE(platform::writeDeviceDescription(root, d));
    boot();
  }
};

TEST_F(AppIdentity, InstalledAppsHaveTheirHomeScreenNames) {
  boot();
  EXPECT_EQ(appDisplayName(platform::Text("com.apple.mobilephone")), "Phone");
  EXPECT_EQ(appDisplayName(platform::Text("net.whatsapp.WhatsApp")), "WhatsApp");
  EXPECT_EQ(appDisplayName(platform::Text("com.example.absent")), std::nullopt);
  EXPECT_EQ(appDisplayName(platform::Text()), std::nullopt);
}

TEST_F(AppIdentity, TheIconIsA60PointPngAtTheScreenScaleOnSystem13) {
  bootWith("13.7", 2.0);
  QImage phone = decodeIcon(appIconData(platform::Text("com.apple.mobilephone")));
  ASSERT_FALSE(phone.isNull());
  EXPECT_EQ(phone.size(), QSize(120, 120));
  expectSpecs(2.0);
  // Rounded corners are transparent, the middle is not.
  EXPECT_EQ(qAlpha(phone.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(phone.pixel(60, 60)), 255);
  QImage whatsapp = decodeIcon(appIconData(platform::Text("net.whatsapp.WhatsApp")));
  ASSERT_FALSE(whatsapp.isNull());
  EXPECT_NE(phone, whatsapp);
}

TEST_F(AppIdentity, TheDescriptionIsRewrittenAtEachCaptureFromTheCurrentScale) {
  bootWith("14.0", 3.0);
  process().iconspecs = platform::IconImageInfo{1, 2, 3, 4};
  EXPECT_EQ(decodeIcon(appIconData(platform::Text("com.apple.MobileSMS"))).size(), QSize(180, 180));
  expectSpecs(3.0);
  process().iconspecs = platform::IconImageInfo{};
  // Even when no icon comes back.
  EXPECT_EQ(appIconData(platform::Text("com.example.absent")), std::nullopt);
  expectSpecs(3.0);
  EXPECT_EQ(appIconData(platform::Text()), std::nullopt);
}

TEST_F(AppIdentity, EarlierSystemsRenderTheFixedFormatZero) {
  bootWith("12.4", 2.0);
  QImage icon = decodeIcon(appIconData(platform::Text("com.apple.facetime")));
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.size(), QSize(29, 29));  // format 0 is the 29 point icon at scale 1
  expectSpecs(2.0);
}

}  // namespace
}  // namespace calmora
