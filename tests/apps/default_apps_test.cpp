#include "platform/apps/default_apps.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "platform/apps/icon_render.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace apps_test;
using platform::apps::AppInfo;
using platform::apps::AppRegistry;
using platform::apps::installDefaultApps;
using platform::apps::renderIcon;

TEST(DefaultApps, ANewDeviceGetsTheSystemAndMessagingAppsWithIcons) {
  TempRoot root;
  installDefaultApps(root.path());
  AppRegistry registry(root.path());
  const std::map<std::string, std::string> required = {
      {"com.apple.mobilephone", "Phone"},       {"com.apple.facetime", "FaceTime"},
      {"com.apple.MobileSMS", "Messages"},      {"net.whatsapp.WhatsApp", "WhatsApp"},
      {"org.whispersystems.signal", "Signal"},  {"ph.telegra.Telegraph", "Telegram"},
      {"com.facebook.Messenger", "Messenger"},  {"com.hammerandchisel.discord", "Discord"},
      {"com.apple.Preferences", "Settings"},    {"com.apple.mobilemail", "Mail"},
      {"com.veltrane.calmora", "Calmora"},
  };
  for (const auto& [id, name] : required) {
    auto app = registry.app(id);
    ASSERT_TRUE(app) << id;
    EXPECT_EQ(app->displayName, name);
    QImage icon(QString::fromStdString(app->iconFile.string()));
    EXPECT_EQ(icon.size(), QSize(180, 180)) << id;
  }
  EXPECT_EQ(registry.apps().size(), platform::apps::defaultAppIdentifiers().size());
  for (const auto& entry : fs::directory_iterator(root.applications()))
    EXPECT_NE(entry.path().filename().string().front(), '.') << "staging folder left behind";
}

TEST(DefaultApps, IconsArePairwiseDistinct) {
  TempRoot root;
  installDefaultApps(root.path());
  std::vector<std::pair<std::string, QImage>> icons;
  for (const AppInfo& app : AppRegistry(root.path()).apps())
    icons.emplace_back(app.bundleIdentifier, renderIcon(app, 30, 30, 1, 6).qimage());
  ASSERT_EQ(icons.size(), platform::apps::defaultAppIdentifiers().size());

  for (size_t i = 0; i < icons.size(); ++i) {
    for (size_t j = i + 1; j < icons.size(); ++j) {
      // Mean difference per channel over the icon: well above noise, so a
      // look-alike pair (same colour, near-same glyph) fails.
      const QImage& a = icons[i].second;
      const QImage& b = icons[j].second;
      double total = 0;
      for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
          QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
          total += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue());
        }
      }
      double mean = total / (a.width() * a.height() * 3);
      EXPECT_GT(mean, 12.0) << icons[i].first << " looks like " << icons[j].first;
    }
  }
}

TEST(DefaultApps, InstallingKeepsAppsAlreadyPresent) {
  TempRoot root;
  // The phone's folder taken by a customised bundle, and WhatsApp's
  // identifier taken by a bundle under another folder name.
  fs::path phone = makeBundle(root.applications(), "MobilePhone.app",
                              infoDict("com.apple.mobilephone", "My Phone", "Mine"));
  writeSolidPng(phone / "Mine.png", Qt::magenta);
  makeBundle(root.applications(), "WA.app", infoDict("net.whatsapp.WhatsApp", "Chat"));

  installDefaultApps(root.path());
  AppRegistry registry(root.path());
  EXPECT_EQ(registry.app("com.apple.mobilephone")->displayName, "My Phone");
  EXPECT_EQ(registry.app("com.apple.mobilephone")->iconFile, phone / "Mine.png");
  EXPECT_FALSE(fs::exists(phone / "AppIcon.png"));
  EXPECT_EQ(registry.app("net.whatsapp.WhatsApp")->displayName, "Chat");
  EXPECT_FALSE(fs::exists(root.applications() / "WhatsApp.app"));
  EXPECT_TRUE(registry.app("org.whispersystems.signal")) << "the others are still installed";

  // A second run changes nothing, even after a default app was edited.
  fs::path signalInfo = root.applications() / "Signal.app" / "Info.plist";
  writeFile(signalInfo, platform::plist::toXml(infoDict("org.whispersystems.signal", "Edited").ref()));
  installDefaultApps(root.path());
  registry.reload();
  EXPECT_EQ(registry.app("org.whispersystems.signal")->displayName, "Edited");
}

TEST(DefaultApps, AnUnwritableDeviceIsReportedNotFatal) {
  TempRoot root;
  writeFile(root.path() / "Applications", "a file where the folder should be");
  CapturedLog log;
  installDefaultApps(root.path());
  EXPECT_TRUE(log.contains("cannot create"));
  EXPECT_TRUE(AppRegistry(root.path()).apps().empty());
}

}  // namespace
