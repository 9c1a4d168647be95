// An unreadable file is moved aside, never over an earlier one, before a
// write replaces it.
#include <gtest/gtest.h>

#include "platform/foundation/clock.h"
#include "platform/foundation/plist.h"
#include "tests/foundation/foundation_support.h"

namespace {
namespace fs = std::filesystem;
using namespace platform::plist;
using foundationtest::LogCapture;

class KeepAside : public foundationtest::ScratchFolder {
 protected:
  void SetUp() override {
    ScratchFolder::SetUp();
    platform::clock::setTimeZoneForTesting("Europe/Berlin");
    // 2026-12-07 10:30:05 in Berlin.
    platform::clock::setNowForTesting(int64_t{1796635805} * 1000);
  }
  void TearDown() override {
    platform::clock::setNowForTesting(std::nullopt);
    platform::clock::setTimeZoneForTesting({});
    ScratchFolder::TearDown();
  }
};

TEST_F(KeepAside, AnUnreadableFileIsRenamedWithTheTimeNeverOverAnEarlierOneAndSaysSo) {
  fs::path file = dir / "log.plist";
  LogCapture log;
  for (int i = 1; i <= 4; ++i) {
    writeBytes(file, "garbage " + std::to_string(i));
    ASSERT_FALSE(keepUnreadableAside(file)) << i;
  }
  EXPECT_EQ(log.lines().size(), 4u);
  EXPECT_EQ(names(), (std::vector<std::string>{
                         "log.plist.unreadable-20261207-103005", "log.plist.unreadable-20261207-103005-2",
                         "log.plist.unreadable-20261207-103005-3", "log.plist.unreadable-20261207-103005-4"}));
  EXPECT_EQ(readBytes(dir / "log.plist.unreadable-20261207-103005"), "garbage 1");
  EXPECT_EQ(readBytes(dir / "log.plist.unreadable-20261207-103005-4"), "garbage 4");
}

TEST_F(KeepAside, NoFileOrAnEmptyOneClearsTheWayWithoutKeepingAnything) {
  LogCapture log;
  EXPECT_FALSE(keepUnreadableAside(dir / "absent.plist"));
  writeBytes(dir / "empty.plist", "");
  EXPECT_FALSE(keepUnreadableAside(dir / "empty.plist"));
  EXPECT_EQ(names(), std::vector<std::string>{"empty.plist"});
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(KeepAside, AFileThatCannotBeMovedIsReportedAndLeftForTheCallerToKeep) {
  LogCapture log;
  // Its folder cannot be searched through a file standing in its way.
  writeBytes(dir / "blocker", "x");
  auto blocked = keepUnreadableAside(dir / "blocker" / "log.plist");
  ASSERT_TRUE(blocked);
  EXPECT_EQ(blocked->code, platform::ErrorCode::Unreadable);
  EXPECT_EQ(blocked->sysErrno, ENOTDIR);
  EXPECT_FALSE(log.lines().empty());
  // A name taken by a folder that is not empty cannot be renamed over
  // either, and the next free name is used.
  writeBytes(dir / "log.plist", "garbage");
  fs::create_directories(dir / "log.plist.unreadable-20261207-103005" / "x");
  EXPECT_FALSE(keepUnreadableAside(dir / "log.plist"));
  EXPECT_EQ(readBytes(dir / "log.plist.unreadable-20261207-103005-2"), "garbage");
}

}  // namespace
