#include "platform/apps/icon_render.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "platform/apps/default_apps.h"
#include "platform/foundation/base64.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace apps_test;
using platform::apps::AppInfo;
using platform::apps::AppRegistry;
using platform::apps::Image;
using platform::apps::renderIcon;
using platform::apps::renderIconLegacy;

QImage decodeIconData(const Image& image) {
  // The path a blocked-event record takes: PNG, base64, and back.
  std::string text = platform::base64Encode(platform::apps::pngRepresentation(image));
  EXPECT_EQ(text.find('\n'), std::string::npos);
  auto png = platform::base64Decode(text);
  if (!png) return {};
  return QImage::fromData(reinterpret_cast<const uchar*>(png->data()), static_cast<int>(png->size()), "PNG");
}

TEST(IconRender, ADefaultAppAt60PointsOnAScale2DeviceIsA120PixelPng) {
  TempRoot root;
  platform::apps::installDefaultApps(root.path());
  auto phone = AppRegistry(root.path()).app("com.apple.mobilephone");
  ASSERT_TRUE(phone);
  Image icon = renderIcon(*phone, 60, 60, 2.0, 12);
  EXPECT_EQ(icon.qimage().format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_DOUBLE_EQ(icon.scale(), 2.0);
  EXPECT_EQ(decodeIconData(icon).size(), QSize(120, 120));
}

TEST(IconRender, SizeFollowsPointsTimesScaleAndTheLegacyFormats) {
  TempRoot root;
  fs::path bundle = makeBundle(root.applications(), "A.app", infoDict("a.app", "A", "Icon"));
  writeSolidPng(bundle / "Icon.png", Qt::red, 50);
  AppInfo app = *AppRegistry(root.path()).app("a.app");

  Image wide = renderIcon(app, 40, 20, 3.0, 0);
  EXPECT_EQ(wide.pixelWidth(), 120);
  EXPECT_EQ(wide.pixelHeight(), 60);
  EXPECT_EQ(wide.qimage().pixelColor(0, 0), QColor(Qt::red)) << "no rounding without a radius";

  // The mask clears an opaque source's corners, right up to the rounding.
  QImage rounded = decodeIconData(renderIcon(app, 60, 60, 2.0, 12));
  ASSERT_EQ(rounded.size(), QSize(120, 120));
  for (QPoint corner : {QPoint(0, 0), QPoint(119, 0), QPoint(0, 119), QPoint(119, 119), QPoint(3, 3), QPoint(4, 4)})
    EXPECT_EQ(rounded.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
  for (QPoint inside : {QPoint(60, 60), QPoint(60, 0), QPoint(0, 60), QPoint(12, 12)})
    EXPECT_EQ(rounded.pixelColor(inside), QColor(Qt::red)) << inside.x() << "," << inside.y();

  Image odd = renderIcon(app, 60, 60, 2.5 / 3, 12);  // 49.999... pixels rounds to 50
  EXPECT_EQ(odd.pixelWidth(), 50);

  Image old = renderIconLegacy(app, 0);
  EXPECT_EQ(old.pixelWidth(), 29);
  EXPECT_EQ(old.pixelHeight(), 29);
  EXPECT_DOUBLE_EQ(old.scale(), 1.0);
  EXPECT_EQ(old.qimage().pixelColor(14, 14), QColor(Qt::red));
  EXPECT_EQ(old.qimage().pixelColor(0, 0).alpha(), 0);
  Image other = renderIconLegacy(app, 2);
  EXPECT_EQ(other.pixelWidth(), 60);
  EXPECT_EQ(other.pixelHeight(), 60);
}

TEST(IconRender, NoIconUnreadableIconOrUnusableSizeGivesANullImage) {
  TempRoot root;
  fs::path bundle = makeBundle(root.applications(), "Bad.app", infoDict("a.bad", "Bad", "Icon.png"));
  writeFile(bundle / "Icon.png", "not a png at all");
  fs::path good = makeBundle(root.applications(), "Good.app", infoDict("a.good", "Good", "Icon.png"));
  writeSolidPng(good / "Icon.png", Qt::blue);
  makeBundle(root.applications(), "None.app", infoDict("a.none", "None"));
  AppRegistry registry(root.path());

  CapturedLog log;
  EXPECT_TRUE(renderIcon(*registry.app("a.none"), 60, 60, 2, 12).isNull());
  EXPECT_TRUE(renderIcon(*registry.app("a.bad"), 60, 60, 2, 12).isNull());
  EXPECT_TRUE(log.contains("is not a readable image"));
  EXPECT_EQ(pngRepresentation(renderIcon(*registry.app("a.bad"), 60, 60, 2, 12)), "");

  AppInfo app = *registry.app("a.good");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (auto [w, h, s] : {std::tuple{0.0, 60.0, 2.0}, {60.0, -1.0, 2.0}, {60.0, 60.0, 0.0}, {60.0, 60.0, -2.0},
                         {nan, 60.0, 2.0}, {60.0, 60.0, inf}, {1e9, 1e9, 2.0}})
    EXPECT_TRUE(renderIcon(app, w, h, s, 12).isNull()) << w << "x" << h << "@" << s;
  // Corner radii beyond half the side or nonsensical still render.
  EXPECT_FALSE(renderIcon(app, 60, 60, 2, 1000).isNull());
  EXPECT_FALSE(renderIcon(app, 60, 60, 2, -5).isNull());
  EXPECT_FALSE(renderIcon(app, 60, 60, 2, nan).isNull());
}

TEST(IconRender, AReplacedIconFileIsDecodedAfreshNotServedFromTheCache) {
  TempRoot root;
  fs::path bundle = makeBundle(root.applications(), "A.app", infoDict("a.app", "A", "Icon.png"));
  writeSolidPng(bundle / "Icon.png", Qt::red);
  AppInfo app = *AppRegistry(root.path()).app("a.app");
  EXPECT_EQ(renderIcon(app, 10, 10, 1, 0).qimage().pixelColor(5, 5), QColor(Qt::red));

  auto before = fs::last_write_time(bundle / "Icon.png");
  writeSolidPng(bundle / "Icon.png", Qt::green);
  // Moved clearly away from the first time, whatever the timestamp granularity.
  fs::last_write_time(bundle / "Icon.png", before + std::chrono::seconds(5));
  EXPECT_EQ(renderIcon(app, 10, 10, 1, 0).qimage().pixelColor(5, 5), QColor(Qt::green));

  fs::remove(bundle / "Icon.png");
  CapturedLog log;
  EXPECT_TRUE(renderIcon(app, 10, 10, 1, 0).isNull()) << "a deleted icon is not served from the cache";
  EXPECT_TRUE(log.contains("cannot read icon"));
}

}  // namespace
