// The apps layer, headless and without fonts: bundles read from the device's
// Applications folder, icons rendered from them, and a new device's apps.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <limits>
#include <thread>

#include "common/app_lists.h"
#include "platform/apps/app_registry.h"
#include "platform/apps/calling_apps.h"
#include "platform/apps/default_apps.h"
#include "platform/apps/icon_render.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/plist.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::apps;
using platform::plist::Value;

struct TempRoot : testsupport::TempDir {
  TempRoot() : TempDir("calmora-apps-test") {}
  fs::path applications() const { return path() / "Applications"; }
};

enum class PlistFormat { Xml, Binary };

void writeFile(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << file;
}

// Makes APPS/<folder> with an Info.plist holding `info`.
fs::path makeBundle(const fs::path& applications, const std::string& folder, const Value& info,
                    PlistFormat format = PlistFormat::Xml) {
  fs::path bundle = applications / folder;
  fs::create_directories(bundle);
  writeFile(bundle / "Info.plist",
            format == PlistFormat::Xml ? platform::plist::toXml(info.ref()) : platform::plist::toBinary(info.ref()));
  return bundle;
}

Value infoDict(const std::string& identifier, const std::string& displayName, const std::string& iconFile = "") {
  Value info = Value::dict();
  if (!identifier.empty()) info.set("CFBundleIdentifier", Value::string(identifier));
  if (!displayName.empty()) info.set("CFBundleDisplayName", Value::string(displayName));
  if (!iconFile.empty()) info.set("CFBundleIconFile", Value::string(iconFile));
  return info;
}

void writeSolidPng(const fs::path& file, QColor colour, int side = 32) {
  QImage image(side, side, QImage::Format_ARGB32);
  image.fill(colour);
  ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "PNG"));
}

TEST(AppRegistry, ReadsIdentityFromXmlAndBinaryInfoPlistsAndTheNameFallsBackToTheBundleNameThenEmpty) {
  TempRoot root;
  fs::path xml = makeBundle(root.applications(), "Xml.app", infoDict("com.example.xml", "Xml App", "Icon.png"));
  writeSolidPng(xml / "Icon.png", Qt::red);
  Value bin = infoDict("com.example.bin", "Bin App", "Icon");
  bin.set("CFBundleName", Value::string("Bundle"));
  fs::path binBundle = makeBundle(root.applications(), "Bin.app", bin, PlistFormat::Binary);
  writeSolidPng(binBundle / "Icon.png", Qt::blue);
  Value bundleOnly = infoDict("a.bundle", "");
  bundleOnly.set("CFBundleName", Value::string("Bundle Only"));
  makeBundle(root.applications(), "BundleOnly.app", bundleOnly);
  makeBundle(root.applications(), "None.app", infoDict("a.none", ""));
  fs::path linked = makeBundle(root.applications(), "Linked.app", infoDict("a.linked", "Linked", "Icon.png"));
  fs::create_directories(linked / "Art");
  writeSolidPng(linked / "Art" / "Real.png", Qt::red);
  fs::create_symlink("Art/Real.png", linked / "Icon.png");

  AppRegistry registry(root.path());
  auto a = registry.app("com.example.xml");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->displayName, "Xml App");
  EXPECT_EQ(a->iconFile, xml / "Icon.png");
  auto b = registry.app("com.example.bin");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->displayName, "Bin App");
  EXPECT_EQ(b->iconFile, binBundle / "Icon.png") << "the .png extension may be left out of the plist";
  EXPECT_EQ(registry.app("a.bundle")->displayName, "Bundle Only");
  ASSERT_TRUE(registry.app("a.none"));
  EXPECT_EQ(registry.app("a.none")->displayName, "");
  EXPECT_EQ(registry.app("a.linked")->iconFile, linked / "Icon.png") << "a link may lead within the bundle";

  EXPECT_FALSE(registry.app("com.example.XML")) << "identifiers match exactly";
  EXPECT_FALSE(registry.app("com.example"));
  EXPECT_FALSE(registry.app(""));
}

TEST(AppRegistry, SkipsBundlesThatCannotBeReadAndKeepsAppsWhoseIconIsMissingOrOutsideTheBundleWithoutIcon) {
  TempRoot root;
  fs::path apps = root.applications();
  makeBundle(apps, "Good.app", infoDict("com.example.good", "Good"));
  fs::create_directories(apps / "NoPlist.app");
  fs::create_directories(apps / "Garbage.app");
  writeFile(apps / "Garbage.app" / "Info.plist", "\x01\x02not a plist<<<");
  fs::create_directories(apps / "Array.app");
  writeFile(apps / "Array.app" / "Info.plist",
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>");
  makeBundle(apps, "NoId.app", infoDict("", "Nameless"));
  makeBundle(apps, "NotABundle", infoDict("com.example.folder", "Folder"));
  writeFile(apps / "Stray.app", "a file, not a folder");
  makeBundle(apps, "Missing.app", infoDict("a.missing", "Missing", "Gone"));
  makeBundle(apps, "Outside.app", infoDict("a.outside", "Outside", "../Shared.png"));
  writeSolidPng(apps / "Shared.png", Qt::green);
  makeBundle(apps, "Absolute.app", infoDict("a.absolute", "Absolute", (apps / "Shared.png").string()));
  fs::create_directories(makeBundle(apps, "Folder.app", infoDict("a.folder", "Folder", "Icon.png")) / "Icon.png");
  fs::create_symlink("../Shared.png", makeBundle(apps, "Link.app", infoDict("a.link", "Link", "Icon")) / "Icon.png");
  fs::create_directory_symlink(apps, makeBundle(apps, "LinkDir.app", infoDict("a.linkdir", "LinkDir", "Art/Shared")) /
                                         "Art");

  AppRegistry registry(root.path());
  std::vector<std::string> ids;
  for (const AppInfo& app : registry.apps()) {
    ids.push_back(app.bundleIdentifier);
    EXPECT_TRUE(app.iconFile.empty()) << app.bundleIdentifier;
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<std::string>{"a.absolute", "a.folder", "a.link", "a.linkdir", "a.missing", "a.outside",
                                      "com.example.good"}));
}

TEST(AppRegistry, StartsOnlyAnExecutableFileOfTheBundleItself) {
  TempRoot root;
  fs::path apps = root.applications();
  auto withProgram = [&](const std::string& id, const std::string& program) {
    Value info = infoDict(id, id);
    info.set("CFBundleExecutable", Value::string(program));
    return makeBundle(apps, id + ".app", info);
  };
  auto executable = [](const fs::path& file) {
    writeFile(file, "#!/bin/true\n");
    fs::permissions(file, fs::perms::owner_all);
  };
  executable(withProgram("a.good", "Run") / "Run");
  writeFile(withProgram("a.plain", "Run") / "Run", "not executable");
  withProgram("a.missing", "Run");
  executable(apps / "Outside");
  withProgram("a.climbs", "../Outside");
  fs::create_symlink("../Outside", withProgram("a.link", "Run") / "Run");
  fs::create_directory(withProgram("a.folder", "Run") / "Run");
  makeBundle(apps, "a.none.app", infoDict("a.none", "None"));

  AppRegistry registry(root.path());
  for (const AppInfo& app : registry.apps())
    EXPECT_EQ(app.executable.empty(), app.bundleIdentifier != "a.good") << app.bundleIdentifier;
  EXPECT_EQ(registry.app("a.good")->executable, apps / "a.good.app" / "Run");
  EXPECT_EQ(registry.apps().size(), 7u);
  EXPECT_TRUE(platform::apps::isValidBundleIdentifier("com.example.App-1_x"));
  for (const char* bad : {"", ".hidden", "../x", "a/b", "a b", "a\nb"})
    EXPECT_FALSE(platform::apps::isValidBundleIdentifier(bad)) << bad;
}

TEST(AppRegistry, ListsAppsInGridOrderAndLetsTheFirstFolderKeepARepeatedIdentifier) {
  TempRoot root;
  makeBundle(root.applications(), "A.app", infoDict("z.last", "beta"));
  makeBundle(root.applications(), "B.app", infoDict("b.id", "Alpha"));
  makeBundle(root.applications(), "C.app", infoDict("a.id", "Alpha"));
  makeBundle(root.applications(), "D.app", infoDict("c.id", "alpha"));
  makeBundle(root.applications(), "E.app", infoDict("z.last", "Impostor"));

  AppRegistry registry(root.path());
  std::vector<std::string> order;
  for (const AppInfo& a : registry.apps()) order.push_back(a.displayName + "/" + a.bundleIdentifier);
  EXPECT_EQ(order, (std::vector<std::string>{"Alpha/a.id", "Alpha/b.id", "alpha/c.id", "beta/z.last"}));
}

TEST(AppRegistry, NoticesAddedAppsByItselfAndEditedOnesOnReload) {
  TempRoot root;
  AppRegistry registry(root.path());
  EXPECT_TRUE(registry.apps().empty()) << "a device without an Applications folder has no apps";

  makeBundle(root.applications(), "One.app", infoDict("a.one", "One"));
  EXPECT_TRUE(registry.app("a.one")) << "the folder's appearance is a change";

  // Backdate the folder so that the next addition surely changes its time,
  // whatever the file system's timestamp granularity.
  auto earlier = fs::last_write_time(root.applications()) - std::chrono::seconds(10);
  fs::last_write_time(root.applications(), earlier);
  registry.reload();
  makeBundle(root.applications(), "Two.app", infoDict("a.two", "Two"));
  EXPECT_TRUE(registry.app("a.two"));

  makeBundle(root.applications(), "One.app", infoDict("a.one", "Renamed"));
  registry.reload();
  EXPECT_EQ(registry.app("a.one")->displayName, "Renamed");

  fs::last_write_time(root.applications(), earlier);
  registry.reload();
  fs::remove_all(root.applications() / "Two.app");
  EXPECT_FALSE(registry.app("a.two"));
}

TEST(AppRegistry, ConcurrentLookupsSeeWholeAnswersWhileAppsChange) {
  TempRoot root;
  makeBundle(root.applications(), "Steady.app", infoDict("a.steady", "Steady"));
  AppRegistry registry(root.path());
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      while (!stop) {
        auto steady = registry.app("a.steady");
        if (!steady || steady->displayName != "Steady") ++wrong;
        for (const AppInfo& a : registry.apps())
          if (a.bundleIdentifier.empty()) ++wrong;
      }
    });
  }
  for (int i = 0; i < 40; ++i) {
    // Built aside and moved in whole, so no scan meets a half-written bundle.
    std::string folder = "App" + std::to_string(i) + ".app";
    makeBundle(root.path() / "staging", folder, infoDict("a.n" + std::to_string(i), "N" + std::to_string(i)));
    fs::rename(root.path() / "staging" / folder, root.applications() / folder);
    if (i % 5 == 0) registry.reload();
  }
  stop = true;
  for (auto& r : readers) r.join();
  EXPECT_EQ(wrong.load(), 0);
  registry.reload();
  EXPECT_EQ(registry.apps().size(), 41u);
}

QImage decodeIconData(const platform::uikit::UIImagePtr& image) {
  // The path a blocked-event record takes: PNG, base64, and back.
  std::string text = platform::base64Encode(image ? image->pngData().toStdString() : std::string());
  EXPECT_EQ(text.find('\n'), std::string::npos);
  auto png = platform::base64Decode(text);
  if (!png) return {};
  return QImage::fromData(reinterpret_cast<const uchar*>(png->data()), static_cast<int>(png->size()), "PNG");
}

TEST(IconRender, SizeFollowsPointsTimesScaleAndTheLegacyFormats) {
  TempRoot root;
  fs::path bundle = makeBundle(root.applications(), "A.app", infoDict("a.app", "A", "Icon"));
  writeSolidPng(bundle / "Icon.png", Qt::red, 50);
  AppInfo app = *AppRegistry(root.path()).app("a.app");

  auto wide = renderIcon(app, 40, 20, 3.0, 0);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->pixels().size(), QSize(120, 60));
  EXPECT_EQ(wide->size().width, 40);
  EXPECT_EQ(wide->pixels().pixelColor(0, 0), QColor(Qt::red)) << "no rounding without a radius";

  // The mask clears an opaque source's corners, right up to the rounding.
  QImage rounded = decodeIconData(renderIcon(app, 60, 60, 2.0, 12));
  ASSERT_EQ(rounded.size(), QSize(120, 120));
  for (QPoint corner : {QPoint(0, 0), QPoint(119, 0), QPoint(0, 119), QPoint(119, 119), QPoint(3, 3), QPoint(4, 4)})
    EXPECT_EQ(rounded.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
  for (QPoint inside : {QPoint(60, 60), QPoint(60, 0), QPoint(0, 60), QPoint(12, 12)})
    EXPECT_EQ(rounded.pixelColor(inside), QColor(Qt::red)) << inside.x() << "," << inside.y();

  auto odd = renderIcon(app, 60, 60, 2.5 / 3, 12);  // 49.999... pixels rounds to 50
  EXPECT_EQ(odd->pixels().width(), 50);

  EXPECT_EQ(renderIconLegacy(app, 2)->pixels().width(), 60);
}

TEST(IconRender, NoIconUnreadableIconOrUnusableSizeGivesANullImage) {
  TempRoot root;
  fs::path bundle = makeBundle(root.applications(), "Bad.app", infoDict("a.bad", "Bad", "Icon.png"));
  writeFile(bundle / "Icon.png", "not a png at all");
  fs::path good = makeBundle(root.applications(), "Good.app", infoDict("a.good", "Good", "Icon.png"));
  writeSolidPng(good / "Icon.png", Qt::blue);
  makeBundle(root.applications(), "None.app", infoDict("a.none", "None"));
  AppRegistry registry(root.path());

  EXPECT_FALSE(renderIcon(*registry.app("a.none"), 60, 60, 2, 12));
  EXPECT_FALSE(renderIcon(*registry.app("a.bad"), 60, 60, 2, 12));

  AppInfo app = *registry.app("a.good");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (auto [w, h, s] : {std::tuple{0.0, 60.0, 2.0}, {60.0, -1.0, 2.0}, {60.0, 60.0, 0.0}, {60.0, 60.0, -2.0},
                         {nan, 60.0, 2.0}, {60.0, 60.0, inf}, {1e9, 1e9, 2.0}})
    EXPECT_FALSE(renderIcon(app, w, h, s, 12)) << w << "x" << h << "@" << s;
  // Corner radii beyond half the side or nonsensical still render.
  EXPECT_TRUE(renderIcon(app, 60, 60, 2, 1000));
  EXPECT_TRUE(renderIcon(app, 60, 60, 2, -5));
  EXPECT_TRUE(renderIcon(app, 60, 60, 2, nan));
}

TEST(IconRender, AReplacedIconFileIsDecodedAfreshNotServedFromTheCache) {
  TempRoot root;
  fs::path bundle = makeBundle(root.applications(), "A.app", infoDict("a.app", "A", "Icon.png"));
  writeSolidPng(bundle / "Icon.png", Qt::red);
  AppInfo app = *AppRegistry(root.path()).app("a.app");
  EXPECT_EQ(renderIcon(app, 10, 10, 1, 0)->pixels().pixelColor(5, 5), QColor(Qt::red));

  auto before = fs::last_write_time(bundle / "Icon.png");
  writeSolidPng(bundle / "Icon.png", Qt::green);
  // Moved clearly away from the first time, whatever the timestamp granularity.
  fs::last_write_time(bundle / "Icon.png", before + std::chrono::seconds(5));
  EXPECT_EQ(renderIcon(app, 10, 10, 1, 0)->pixels().pixelColor(5, 5), QColor(Qt::green));

  fs::remove(bundle / "Icon.png");
  EXPECT_FALSE(renderIcon(app, 10, 10, 1, 0)) << "a deleted icon is not served from the cache";
}

TEST(DefaultApps, ANewDeviceGetsTheSystemAndMessagingAppsWithIcons) {
  TempRoot root;
  installDefaultApps(root.path());
  AppRegistry registry(root.path());
  for (const std::string& id : platform::apps::defaultAppIdentifiers()) {
    auto app = registry.app(id);
    ASSERT_TRUE(app) << id;
    EXPECT_FALSE(app->displayName.empty()) << id;
    EXPECT_EQ(QImage(QString::fromStdString(app->iconFile.string())).size(), QSize(180, 180)) << id;
  }
  EXPECT_EQ(registry.apps().size(), platform::apps::defaultAppIdentifiers().size());
  for (const auto& entry : fs::directory_iterator(root.applications()))
    EXPECT_NE(entry.path().filename().string().front(), '.') << "staging folder left behind";
}

// The device's calling apps, which its Device controls offer, are installed
// under their names and are the ones the pane lets a contact's calls be
// blocked in.
TEST(DefaultApps, TheCallingAppsAreInstalledAndAreThePanes) {
  TempRoot root;
  installDefaultApps(root.path());
  AppRegistry registry(root.path());
  std::vector<std::pair<std::string, std::string>> device, pane;
  for (const CallingApp& app : kCallingApps) {
    device.emplace_back(app.bundle, app.name);
    auto installed = registry.app(app.bundle);
    ASSERT_TRUE(installed) << app.bundle;
    EXPECT_EQ(installed->displayName, app.name);
  }
  for (const auto& app : calmora::apps::kCallingApps) pane.emplace_back(app.bundle, app.name);
  EXPECT_EQ(device, pane);
}

// boot installs the build's own bundles over the default ones of the same name.
TEST(DefaultApps, EveryAppTheBuildStagesKeepsAnIconOnTheHomeScreen) {
  TempRoot root;
  fs::copy(CALMORA_STAGED_APPS, root.applications(), fs::copy_options::recursive);
  AppRegistry registry(root.path());
  ASSERT_FALSE(registry.apps().empty());
  for (const AppInfo& app : registry.apps())
    EXPECT_TRUE(renderIcon(app, 60, 60, 2, 0)) << app.bundleIdentifier;
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

TEST(DefaultApps, AnUnwritableDeviceGetsNoAppsAndTheCallerGoesOn) {
  TempRoot root;
  writeFile(root.path() / "Applications", "a file where the folder should be");
  installDefaultApps(root.path());
  EXPECT_TRUE(AppRegistry(root.path()).apps().empty());
}

}  // namespace
