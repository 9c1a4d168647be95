#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "CalmoPrefs/contact_rows.h"
#include "CalmoPrefs/ordered_dictionary.h"
#include "CalmoPrefs/root_header_view.h"
#include "CalmoPrefs/schedule_window.h"
#include "CalmoPrefs/settings_store.h"
#include "common/app_lists.h"
#include "common/names.h"
#include "common/settings_file.h"
#include "common/time_window.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/plist.h"
#include "tests/support/temp_dir.h"

namespace calmoprefs {
namespace {

namespace plist = platform::plist;
using namespace testsupport;
using platform::contacts::Contact;

std::vector<QString> keysOf(const OrderedDictionary& d) { return d.keys(); }

// The Block Apps page offers, under Calls, each calling app's "%@Call" key
// and, under Notifications, each app the hook knows as a messaging app: a
// resource cannot include the lists, so it is held to them here.
TEST(BlockAppsPage, OffersTheAppsTheDeliverablesAgreeOn) {
  auto page = plist::readDictionary(CALMORA_BLOCK_APPS_PLIST);
  ASSERT_TRUE(page.dict.isDict()) << plist::describeRead(page);
  std::vector<std::pair<std::string, std::string>> calls, notifications, *group = nullptr;
  const plist::Ref items = page.dict["items"];
  for (size_t i = 0; i < items.size(); ++i) {
    const plist::Ref item = items.at(i);
    const std::string label = item["label"].text().value_or("");
    if (item["cell"].text() == "PSGroupCell") {
      group = label == "Calls" ? &calls : label == "Notifications" ? &notifications : nullptr;
      ASSERT_TRUE(group) << "a group of its own: " << label;
    } else {
      ASSERT_TRUE(group) << label << " comes before any group";
      group->emplace_back(item["key"].text().value_or(""), label);
    }
  }
  std::vector<std::pair<std::string, std::string>> callingApps, notifyingApps;
  for (const auto& app : calmora::apps::kCallingApps)
    callingApps.emplace_back(std::string(app.bundle) + std::string(calmora::names::settings::kCallSwitchSuffix),
                             std::string(app.name));
  for (const auto& app : calmora::apps::kNotifyingApps) {
    notifyingApps.emplace_back(app.bundle, app.name);
    EXPECT_NE(std::ranges::find(calmora::apps::kMessagingApps, app.bundle), std::end(calmora::apps::kMessagingApps))
        << app.bundle << ": whitelist mode could not block it";
  }
  EXPECT_EQ(calls, callingApps);
  EXPECT_EQ(notifications, notifyingApps);
}

TEST(OrderedDictionary, KeepsInsertionOrderThroughReplaceRemoveAndInsert) {
  OrderedDictionary d;
  for (const char* key : {"b", "a", "c"}) d.setObject(plist::Value::string(key), key);
  d.setObject(plist::Value::string("new"), "a");
  EXPECT_EQ(keysOf(d), (std::vector<QString>{"b", "a", "c"}));
  EXPECT_EQ(d.objectForKey("a").text(), "new");
  EXPECT_EQ(d.reverseKeys(), (std::vector<QString>{"c", "a", "b"}));
  d.insertObject(plist::Value::string("c"), "c", 0);
  EXPECT_EQ(keysOf(d), (std::vector<QString>{"c", "b", "a"}));
  d.removeObjectForKey("c");
  d.setObject(plist::Value::string("c"), "c");
  EXPECT_EQ(keysOf(d), (std::vector<QString>{"b", "a", "c"}));
  EXPECT_EQ(d.count(), 3u);
  EXPECT_EQ(d.keyAtIndex(3), QString());
  EXPECT_FALSE(d.objectForKey("zz"));
}

TEST(OrderedDictionary, DescribesItselfIndentedByLevel) {
  OrderedDictionary d;
  EXPECT_EQ(d.descriptionWithIndent(0), "{\n}\n");
  d.setObject(plist::Value::string("v"), "k");
  EXPECT_EQ(d.descriptionWithIndent(1), "    {\n        k = v;\n    }\n");
}

TEST(HeaderGeometry, ShowsTheImageAtItsProportionsBelowAFixedOffset) {
  HeaderGeometry g{2.0};
  EXPECT_EQ(g.imageFrame(320).width(), 0);  // no height asked yet
  EXPECT_DOUBLE_EQ(g.preferredHeightForWidth(320), 125);
  EXPECT_EQ(g.imageFrame(320), platform::uikit::CGRect(0, 20, 320, 160));
  HeaderGeometry none;
  EXPECT_EQ(none.preferredHeightForWidth(320), 0);
  EXPECT_TRUE(none.imageFrame(320).isEmpty());
}

std::shared_ptr<const Contact> person(std::string id, std::string given, std::string family, int numbers = 1) {
  return std::make_shared<const Contact>(
      Contact{id + ":ABPerson", std::move(given), std::move(family), std::vector<std::string>(numbers, "+4930"), {}});
}

TEST(ContactRows, ListsEachContactWithANumberOncePerContactInNameOrder) {
  auto sorted = sortedContacts({person("B", "Bob", ""), person("N", "", "", 1), person("X", "Anna", "", 0),
                                person("A2", "anna", "Z"), person("A1", "anna", "Z", 3), person("F", "", "Fox")});
  EXPECT_EQ(keysOf(sorted), (std::vector<QString>{"N", "A1", "A2", "B", "F"}));
  EXPECT_EQ(sorted.objectForKey("A2").text(), "anna Z");
  EXPECT_EQ(sorted.objectForKey("F").text(), "Fox");
}

TEST(ContactRows, CountsOnlyContactEntriesThatAreBlocked) {
  auto settings = plist::Value::dict();
  auto entry = [](bool blocked) {
    auto e = plist::Value::dict();
    e.set("isBlocked", plist::Value::boolean(blocked));
    return e;
  };
  settings.set("A", entry(true));
  settings.set("B", entry(false));
  settings.set("C:x", entry(true));
  settings.set("isBlocked", plist::Value::boolean(true));
  settings.set("sound", plist::Value::string("1000"));
  EXPECT_EQ(blockedCount(settings.ref()), 2);
  EXPECT_TRUE(isBlocked(settings.ref(), "A"));
  EXPECT_FALSE(isBlocked(settings.ref(), "isBlocked"));
  EXPECT_EQ(contactListTitle(2, 12), "Blocked Contacts 2");
  EXPECT_EQ(contactListTitle(0, 12), "12 Contacts");
}

TEST(ScheduleWindow, StoresOnlyWindowsTheLibraryCanRead) {
  EXPECT_EQ(normalizedWindow(" 8:00 - 17:05"), "08:00-17:05");
  EXPECT_EQ(normalizedWindow("22:00-06:00"), "22:00-06:00");
  EXPECT_EQ(normalizedWindow("\t23:59 -0:00 "), "23:59-00:00");
  for (const char* bad : {"", "8-17", "24:00-10:00", "08:60-09:00", "08:00-09:00x", "1 0:00-11:00", "08:00-09:00-10:00"})
    EXPECT_FALSE(normalizedWindow(bad)) << bad;
  // The library reads the first two pieces of what another writer stored.
  EXPECT_EQ(calmora::schedule::windowOf("08:00-09:30-10:00"), (calmora::schedule::TimeWindow{480, 570}));
}

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override { platform::setDeviceRoot(dir_.path()); }
  void TearDown() override { platform::setDeviceRoot({}); }
  plist::Value onDisk() { return plist::readDictionary(calmora::settings::settingsPath()).dict; }
  TempDir dir_;
};

TEST_F(SettingsStore, FirstWriteCreatesAFileHoldingOnlyThatEntry) {
  ASSERT_TRUE(writeSetting("isTweakEnabled", plist::Value::boolean(false)).ok());
  auto file = onDisk();
  EXPECT_EQ(file.size(), 1u);
  EXPECT_EQ(file["isTweakEnabled"].type(), plist::Type::Bool);
  auto fallback = plist::Value::integer(95);
  EXPECT_EQ(readSetting("xcoordinates", fallback.ref()).ref().integer(), 95);
}

TEST_F(SettingsStore, AnUnreadableFileIsKeptAsideBeforeItIsReplaced) {
  auto path = calmora::settings::settingsPath();
  std::filesystem::create_directories(path.parent_path());
  writeBytes(path, "not a plist");
  ASSERT_TRUE(writeSetting("sound", plist::Value::string("1005")).ok());
  EXPECT_EQ(onDisk()["sound"].text(), "1005");
  int kept = 0;
  for (const auto& name : fileNames(path.parent_path()))
    if (name != path.filename() && readBytes(path.parent_path() / name) == "not a plist") ++kept;
  EXPECT_EQ(kept, 1);
}

// An empty file (made by hand, or a disk that filled) holds nothing to keep
// aside; the write replaces it rather than waiting for it to go away.
TEST_F(SettingsStore, AnEmptyFileIsReplacedAndANullValueRemovesAContactKey) {
  auto path = calmora::settings::settingsPath();
  std::filesystem::create_directories(path.parent_path());
  writeBytes(path, "");
  ASSERT_TRUE(writeContactSetting("K1", "weekdayHour3", plist::Value::string("09:00-17:00")).ok());
  ASSERT_TRUE(writeContactSetting("K1", "isBlocked", plist::Value::boolean(true)).ok());
  EXPECT_EQ(onDisk()["K1"]["weekdayHour3"].text(), "09:00-17:00");
  ASSERT_TRUE(writeContactSetting("K1", "weekdayHour3", plist::Value()).ok());
  EXPECT_FALSE(onDisk()["K1"]["weekdayHour3"]);
  EXPECT_TRUE(onDisk()["K1"]["isBlocked"].truthy());
}

TEST_F(SettingsStore, BothContactPagesLandInOneEntryAndMendANonDictionary) {
  ASSERT_TRUE(writeSetting("K1", plist::Value::string("not an entry")).ok());
  ASSERT_TRUE(writeContactSetting("K1", "isBlocked", plist::Value::boolean(true)).ok());
  ASSERT_TRUE(writeContactSetting("K1", "com.apple.mobilephoneCall", plist::Value::boolean(true)).ok());
  auto file = onDisk();
  EXPECT_TRUE(file["K1"]["isBlocked"].truthy());
  EXPECT_TRUE(file["K1"]["com.apple.mobilephoneCall"].truthy());
  auto fallback = plist::Value::boolean(false);
  EXPECT_TRUE(readContactSetting(file.ref(), "K1", "isBlocked", fallback.ref()).ref().truthy());
  EXPECT_EQ(readContactSetting(file.ref(), "K2", "weekday2", fallback.ref()).ref().type(), plist::Type::Bool);
}

// A writer that takes no lock (an editor) replaces the file between the
// page's read and its rename; the page's change is made again on that file.
// The temporaries a killed writer left go; a file of another naming stays.
TEST_F(SettingsStore, AWriteRedoesItsChangeOnAFileReplacedMeanwhileAndClearsStaleTemporaries) {
  auto path = calmora::settings::settingsPath();
  std::filesystem::create_directories(path.parent_path());
  const auto stale = path.parent_path() / ("." + path.filename().string() + ".a1B2c3");
  const auto notOurs = path.parent_path() / ("." + path.filename().string() + ".keep-me");
  writeBytes(stale, "<plist>");
  writeBytes(notOurs, "<plist>");
  int calls = 0;
  auto updated = calmora::settings::update(path, [&](plist::Value& s) {
    if (calls++ == 0) {
      auto edited = plist::Value::dict();
      edited.set("byEditor", plist::Value::boolean(true));
      ASSERT_TRUE(platform::replaceAtomically(path, plist::toXml(edited.ref())));
    }
    s.set("byPage", plist::Value::boolean(true));
  });
  EXPECT_TRUE(updated);
  EXPECT_EQ(calls, 2);
  auto file = onDisk();
  EXPECT_TRUE(file["byEditor"].truthy());
  EXPECT_TRUE(file["byPage"].truthy());
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(notOurs));
}

}  // namespace
}  // namespace calmoprefs
