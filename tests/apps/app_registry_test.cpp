#include "platform/apps/app_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace apps_test;
using platform::apps::AppInfo;
using platform::apps::AppRegistry;
using platform::plist::Value;

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

  CapturedLog log;
  AppRegistry registry(root.path());
  std::vector<std::string> ids;
  for (const AppInfo& app : registry.apps()) {
    ids.push_back(app.bundleIdentifier);
    EXPECT_TRUE(app.iconFile.empty()) << app.bundleIdentifier;
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<std::string>{"a.absolute", "a.folder", "a.link", "a.linkdir", "a.missing", "a.outside",
                                      "com.example.good"}));
  EXPECT_TRUE(log.contains("NoPlist.app has no Info.plist"));
  EXPECT_TRUE(log.contains("Garbage.app/Info.plist is not a readable"));
  EXPECT_TRUE(log.contains("Array.app/Info.plist is not a readable"));
  EXPECT_TRUE(log.contains("NoId.app/Info.plist has no CFBundleIdentifier"));
  EXPECT_TRUE(log.contains("\"Gone\""));
  EXPECT_TRUE(log.contains("lies outside the bundle"));
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

  CapturedLog log;
  AppRegistry registry(root.path());
  std::vector<std::string> order;
  for (const AppInfo& a : registry.apps()) order.push_back(a.displayName + "/" + a.bundleIdentifier);
  EXPECT_EQ(order, (std::vector<std::string>{"Alpha/a.id", "Alpha/b.id", "alpha/c.id", "beta/z.last"}));
  EXPECT_TRUE(log.contains("E.app repeats the identifier z.last"));
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

}  // namespace
