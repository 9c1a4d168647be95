#include <gtest/gtest.h>

#include <QImage>

#include "hook/app_identity.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/device_description.h"
#include "tests/hook/device_support.h"

namespace calmora {
namespace {

// The PNG inside an icon text; a null image when the text is not one.
QImage decodeIcon(const platform::Text& text) {
  auto png = text ? platform::base64Decode(*text) : std::nullopt;
  return png ? QImage::fromData(reinterpret_cast<const uchar*>(png->data()), static_cast<int>(png->size()), "PNG")
             : QImage();
}

class AppIdentity : public testing::HookDevice {
 protected:
  void bootWith(const std::string& systemVersion, double scale) {
    platform::DeviceDescription d;
    d.systemVersion = systemVersion;
    d.screenScale = scale;
    ASSERT_TRUE(platform::writeDeviceDescription(root(), d));
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

// Rendering itself is tests/apps'; here the format chosen by the system
// version, at the current scale.
TEST_F(AppIdentity, TheIconIsA60PointPngAtTheScreenScaleFromSystem13AndFormatZeroBefore) {
  struct Case {
    const char* system;
    double scale;
    const char* app;
    int pixels;
  } cases[] = {{"13.7", 2.0, "com.apple.mobilephone", 120},
               {"14.0", 3.0, "com.apple.MobileSMS", 180},
               {"12.4", 2.0, "com.apple.facetime", 29}};  // format 0: 29 points at scale 1
  for (const auto& c : cases) {
    SCOPED_TRACE(c.system);
    bootWith(c.system, c.scale);
    EXPECT_EQ(decodeIcon(appIconData(platform::Text(c.app))).size(), QSize(c.pixels, c.pixels));
  }
  EXPECT_EQ(appIconData(platform::Text("com.example.absent")), std::nullopt);
  EXPECT_EQ(appIconData(platform::Text()), std::nullopt);
}

}  // namespace
}  // namespace calmora
