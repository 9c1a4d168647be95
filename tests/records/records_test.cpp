#include <gtest/gtest.h>

#include "platform/foundation/device_paths.h"
#include "platform/records/call_history.h"
#include "platform/records/delivered_notifications.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace platform::records {
namespace {

namespace fs = std::filesystem;

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { setDeviceRoot(root_); }
  void TearDown() override { setDeviceRoot(fs::current_path()); }

  testsupport::TempDir scratch_{"calmora-records"};
  const fs::path root_ = scratch_.path();
  testsupport::LogCapture log_;
};

CallRecord call(std::string name, Outcome outcome) {
  return {0, 1000, std::move(name), "+14155550100", "7:ABPerson", "com.apple.mobilephone", "Phone", outcome, 0, true};
}

NotificationRecord note(std::string bundle, std::string title) {
  return {0, 1000, std::move(bundle), std::move(title), "", "hello", false, false};
}

TEST_F(RecordsTest, CallsReadBackNewestFirstOutliveTheWriterAndKeepTheNewestTenThousand) {
  {
    auto history = CallHistory::open(Mode::ReadWrite);
    ASSERT_TRUE(history) << history.error().describe();
    EXPECT_GT(history->add(call("Ann", Outcome::Answered)), 0);
    EXPECT_GT(history->add(call("Bob", Outcome::Declined)), 0);
  }
  EXPECT_TRUE(fs::exists(devicePath(kCallHistoryPath)));
  auto reader = CallHistory::open(Mode::ReadOnly);
  ASSERT_TRUE(reader) << reader.error().describe();
  auto calls = reader->recent(10);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].name, "Bob");
  EXPECT_EQ(calls[0].outcome, Outcome::Declined);
  EXPECT_EQ(calls[1].outcome, Outcome::Answered);
  EXPECT_EQ(calls[1].contact, "7:ABPerson");
  EXPECT_EQ(reader->add(call("Eve", Outcome::Missed)), 0) << "a reader cannot write";

  auto writer = CallHistory::open(Mode::ReadWrite);
  ASSERT_TRUE(writer);
  for (int64_t i = 0; i < kMaxCalls; ++i) (void)writer->add(call("n" + std::to_string(i), Outcome::Missed));
  EXPECT_EQ(writer->count(), kMaxCalls);
  EXPECT_EQ(reader->count(), kMaxCalls) << "the reader sees the writer's calls";
  EXPECT_EQ(reader->recent(1)[0].name, "n9999");
  EXPECT_EQ(reader->recent(1, kMaxCalls - 1)[0].name, "n0");
}

TEST_F(RecordsTest, NotificationsListByAppCountUnopenedAndStayForTheAppWhenCleared) {
  auto delivered = DeliveredNotifications::open(Mode::ReadWrite);
  ASSERT_TRUE(delivered) << delivered.error().describe();
  const int64_t first = delivered->add(note("com.apple.MobileSMS", "Ann"));
  (void)delivered->add(note("com.apple.MobileSMS", "Bob"));
  (void)delivered->add(note("net.whatsapp.WhatsApp", "Ann"));

  auto all = delivered->list("", Cleared::Exclude, 10);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].bundle, "net.whatsapp.WhatsApp");
  EXPECT_EQ(delivered->list("com.apple.MobileSMS", Cleared::Exclude, 10).size(), 2u);
  EXPECT_EQ(delivered->unopenedCount("com.apple.MobileSMS"), 2);

  auto groups = delivered->bundles(Cleared::Exclude);
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].bundle, "net.whatsapp.WhatsApp") << "the app with the newest first";
  EXPECT_EQ(groups[1].count, 2);

  EXPECT_EQ(delivered->markOpened("com.apple.MobileSMS", "Ann"), 1);
  EXPECT_EQ(delivered->unopenedCount("com.apple.MobileSMS"), 1);
  EXPECT_EQ(delivered->unopenedCount("net.whatsapp.WhatsApp"), 1) << "another app's Ann is not opened";
  EXPECT_EQ(delivered->unopenedCounts().size(), 2u);

  EXPECT_TRUE(delivered->clear(first));
  EXPECT_FALSE(delivered->clear(first));
  EXPECT_EQ(delivered->count("", Cleared::Exclude), 2);
  EXPECT_EQ(delivered->count("com.apple.MobileSMS", Cleared::Include), 2);
  EXPECT_EQ(delivered->clearAll(), 2);
  EXPECT_TRUE(delivered->list("", Cleared::Exclude, 10).empty());
  EXPECT_EQ(delivered->list("", Cleared::Include, 10).size(), 3u);
  EXPECT_TRUE(delivered->bundles(Cleared::Exclude).empty());
  EXPECT_EQ(delivered->markOpened("com.apple.MobileSMS"), 1);
  EXPECT_EQ(delivered->unopenedCount("com.apple.MobileSMS"), 0);
}

TEST_F(RecordsTest, AnAppKeepsItsNewestThousandNotificationsWithoutTouchingAnothers) {
  auto delivered = DeliveredNotifications::open(Mode::ReadWrite);
  ASSERT_TRUE(delivered);
  (void)delivered->add(note("other", "kept"));
  for (int64_t i = 0; i <= kMaxNotificationsPerBundle; ++i) (void)delivered->add(note("busy", std::to_string(i)));
  EXPECT_EQ(delivered->count("busy", Cleared::Include), kMaxNotificationsPerBundle);
  EXPECT_EQ(delivered->list("busy", Cleared::Include, 1, kMaxNotificationsPerBundle - 1)[0].title, "1");
  EXPECT_EQ(delivered->count("other", Cleared::Include), 1);
}

TEST_F(RecordsTest, ADamagedFileIsKeptAsideWithOneLineAndStartedAfresh) {
  const fs::path file = devicePath(kDeliveredPath);
  fs::create_directories(file.parent_path());
  testsupport::writeBytes(file, std::string(8192, 'x'));

  auto reader = DeliveredNotifications::open(Mode::ReadOnly);
  ASSERT_FALSE(reader);
  EXPECT_EQ(reader.error().code, ErrorCode::Malformed);
  EXPECT_EQ(testsupport::fileNames(file.parent_path()), std::vector<std::string>{"Delivered.sqlite"})
      << "a reader never moves the file";
  log_.take();

  auto delivered = DeliveredNotifications::open(Mode::ReadWrite);
  ASSERT_TRUE(delivered) << delivered.error().describe();
  EXPECT_GT(delivered->add(note("a", "b")), 0);
  auto lines = log_.take();
  ASSERT_EQ(lines.size(), 1u) << log_.all();
  EXPECT_NE(lines[0].find("damaged"), std::string::npos);
  auto names = testsupport::fileNames(file.parent_path());
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], "Delivered.sqlite");
  bool keptAside = false;
  for (const auto& name : names) {
    if (name.rfind("Delivered.sqlite.damaged-", 0) == 0) {
      keptAside = true;
      EXPECT_EQ(testsupport::readBytes(file.parent_path() / name), std::string(8192, 'x'));
    }
  }
  EXPECT_TRUE(keptAside);
}

TEST_F(RecordsTest, AFolderReplacedByALinkOrAFileIsRefusedAndNothingOutsideIsWritten) {
  testsupport::TempDir outside{"calmora-outside"};
  fs::create_directories(root_ / "var/mobile/Library");
  fs::create_directory_symlink(outside.path(), root_ / "var/mobile/Library/CallHistoryDB");
  auto history = CallHistory::open(Mode::ReadWrite);
  ASSERT_FALSE(history);
  EXPECT_EQ(history.error().code, ErrorCode::NotRegularFile);
  EXPECT_TRUE(testsupport::fileNames(outside.path()).empty());

  fs::remove_all(root_ / "var/mobile/Library");
  testsupport::writeBytes(root_ / "var/mobile/Library", "not a folder");
  auto delivered = DeliveredNotifications::open(Mode::ReadWrite);
  ASSERT_FALSE(delivered);
  EXPECT_EQ(delivered.error().code, ErrorCode::NotRegularFile);
  EXPECT_EQ(log_.lines().size(), 2u) << log_.all();
  EXPECT_EQ(testsupport::readBytes(root_ / "var/mobile/Library"), "not a folder");
}

}  // namespace
}  // namespace platform::records
