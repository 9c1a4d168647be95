// The page layer without a screen: rows from specifier plists, and the
// store a row without an overriding page reads and writes.
#include <gtest/gtest.h>

#include "platform/foundation/device_paths.h"
#include "platform/preferences/list_controller.h"
#include "platform/preferences/rows_from_plist.h"
#include "tests/support/temp_dir.h"

namespace pref = platform::preferences;
namespace plist = platform::plist;

namespace {

plist::Value item(std::initializer_list<std::pair<const char*, plist::Value*>> entries) {
  auto dict = plist::Value::dict();
  for (auto& [key, value] : entries) dict.set(key, std::move(*value));
  return dict;
}

class PreferencePages : public ::testing::Test {
 protected:
  void SetUp() override { platform::setDeviceRoot(dir_.path()); }
  void TearDown() override { platform::setDeviceRoot("."); }
  testsupport::TempDir dir_{"prefs-pages"};
};

TEST_F(PreferencePages, PlistItemsBecomeRowsWithTheirEntriesAndBrokenItemsAreLeftOut) {
  auto items = plist::Value::array();
  auto cell = plist::Value::string("PSSwitchCell"), label = plist::Value::string("On"), def = plist::Value::boolean(true);
  items.append(item({{"cell", &cell}, {"label", &label}, {"default", &def}}));
  items.append(plist::Value::string("no dictionary"));
  auto unknown = plist::Value::string("PSNoSuchCell");
  items.append(item({{"cell", &unknown}}));
  auto numberCell = plist::Value::integer(6);
  items.append(item({{"cell", &numberCell}}));
  auto root = plist::Value::dict();
  root.set("items", std::move(items));

  auto rows = pref::specifiersFromPlist(root.ref(), nullptr, nullptr, "test");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]->cellType(), pref::PSCellType::Switch);
  EXPECT_EQ(rows[0]->name(), "On");
  EXPECT_EQ(rows[0]->propertyForKey("default").type(), plist::Type::Bool);

  auto notArray = plist::Value::dict();
  notArray.set("items", plist::Value::string("nothing"));
  EXPECT_TRUE(pref::specifiersFromPlist(notArray.ref(), nullptr, nullptr, "test").empty());
}

TEST_F(PreferencePages, ARowWithADefaultsDomainReadsBackWhatWasStoredElseItsDefault) {
  pref::PSListController page;
  pref::PSSpecifier row("Mode", pref::PSCellType::Segment);
  row.setProperty("key", plist::Value::string("mode"));
  row.setProperty("default", plist::Value::integer(1));
  EXPECT_EQ(page.readPreferenceValue(row).ref().integer(), 1) << "no domain: the default";

  row.setProperty("defaults", plist::Value::string("sim.test.pages"));
  const auto file = platform::devicePath("/var/mobile/Library/Preferences/sim.test.pages.plist");
  std::filesystem::create_directories(file.parent_path());
  testsupport::writeBytes(file, "not a plist");
  EXPECT_EQ(page.readPreferenceValue(row).ref().integer(), 1) << "an unreadable file: the default";

  page.setPreferenceValue(plist::Value::integer(2), row);
  plist::Value stored = page.readPreferenceValue(row);
  EXPECT_EQ(stored.ref().type(), plist::Type::Integer);
  EXPECT_EQ(stored.ref().integer(), 2);
  EXPECT_EQ(testsupport::fileNames(file.parent_path()).size(), 2u) << "the unreadable file is kept aside";

  row.setProperty("defaults", plist::Value::string("../escape"));
  page.setPreferenceValue(plist::Value::integer(3), row);
  EXPECT_EQ(testsupport::fileNames(dir_.path() / "var/mobile/Library").size(), 1u) << "a domain is a plain name";
}

}  // namespace
