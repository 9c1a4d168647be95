#include "CalmoPrefs/backup.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "common/log_store.h"
#include "common/settings_file.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/plist.h"
#include "tests/support/temp_dir.h"

namespace calmoprefs::backup {
namespace {

namespace fs = std::filesystem;
namespace plist = platform::plist;
using calmora::logs::Log;
using calmora::logs::logPath;
using namespace testsupport;

// A plist document around the XML of a dictionary's entries.
std::string plistOf(std::string_view entries) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + std::string(entries) +
         "</dict>\n</plist>\n";
}

std::string logOf(size_t records, std::string_view from = "+4930") {
  std::string dict = "<dict>";
  for (size_t k = 0; k < records; ++k)
    dict += "<key>" + std::to_string(k) + "</key><dict><key>from</key><string>" + std::string(from) +
            "</string><key>isRead</key><false/></dict>";
  return dict + "</dict>";
}

// A backup of the given parts; a part left empty is left out.
std::string backupOf(std::string_view version, std::string_view settings, std::string_view calls,
                     std::string_view notifications = "<dict/>") {
  std::string entries;
  auto add = [&](std::string_view key, std::string_view value) {
    if (!value.empty()) entries += "<key>" + std::string(key) + "</key>" + std::string(value) + "\n";
  };
  add(kVersionKey, version);
  add(kSettingsKey, settings);
  add(kCallsKey, calls);
  add(kNotificationsKey, notifications);
  return plistOf(entries);
}

const std::string kOldCalls = plistOf("<key>0</key><dict><key>from</key><string>old</string></dict>");

class Backups : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setDeviceRoot(dir_.path());
    fs::create_directories(logPath(Log::Calls).parent_path());
    fs::create_directories(folder());
    writeBytes(calmora::settings::settingsPath(), plistOf("<key>sound</key><integer>1013</integer>"));
    writeBytes(logPath(Log::Calls), kOldCalls);
    writeBytes(logPath(Log::Notifications), plistOf(""));
    before_ = files();
  }
  void TearDown() override { platform::setDeviceRoot({}); }

  // Every file of the Preferences folder and its bytes.
  std::vector<std::pair<std::string, std::string>> files() const {
    std::vector<std::pair<std::string, std::string>> out;
    const fs::path prefs = logPath(Log::Calls).parent_path();
    for (const auto& name : fileNames(prefs))
      if (!name.ends_with(".lock")) out.emplace_back(name, readBytes(prefs / name));
    return out;
  }

  fs::path put(std::string_view bytes, std::string name = "Calmora-Backup-20260101-000000.plist") {
    writeBytes(folder() / name, bytes);
    return folder() / name;
  }

  // Reading and importing `bytes` is refused so, and changes nothing.
  void expectRefused(std::string_view bytes, Refusal refusal, std::string_view why) {
    auto read = readBackup(put(bytes));
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().refusal, refusal);
    EXPECT_NE(read.error().why.find(why), std::string::npos) << read.error().why;
    EXPECT_EQ(files(), before_);
  }

  TempDir dir_;
  std::vector<std::pair<std::string, std::string>> before_;
};

TEST_F(Backups, AnExportImportedElsewhereGivesTheSameSettingsAndLogs) {
  auto exported = exportBackup();
  ASSERT_TRUE(exported) << exported.error().why;
  const std::string bytes = readBytes(*exported);
  ASSERT_EQ(plist::parseDictionary(bytes).state, plist::ReadState::Ok) << bytes;

  TempDir other;
  platform::setDeviceRoot(other.path());
  auto read = readBackup(*exported);
  ASSERT_TRUE(read) << read.error().why;
  auto kept = restore(*read);
  ASSERT_TRUE(kept) << kept.error().why;
  EXPECT_TRUE(kept->empty());  // nothing was there to keep
  EXPECT_EQ(*calmora::settings::readOnce()["sound"].integer(), 1013);
  EXPECT_EQ(*plist::readDictionary(logPath(Log::Calls)).dict["0"]["from"].text(), "old");
  EXPECT_EQ(calmora::logs::unreadCount(Log::Notifications), 0);
}

TEST_F(Backups, AnImportKeepsTheFilesItReplacesBesideThem) {
  auto read = readBackup(put(backupOf("<integer>1</integer>", "<dict><key>sound</key><integer>7</integer></dict>",
                                      "<dict><key>1</key><dict/><key>0</key><dict/></dict>")));
  ASSERT_TRUE(read) << read.error().why;
  auto kept = restore(*read);
  ASSERT_TRUE(kept) << kept.error().why;
  ASSERT_EQ(kept->size(), 3u);
  EXPECT_EQ(readBytes((*kept)[1]), kOldCalls);
  EXPECT_EQ(*calmora::settings::readOnce()["sound"].integer(), 7);
  EXPECT_EQ(plist::readDictionary(logPath(Log::Calls)).dict.size(), 2u);
}

// One case per refusal: each leaves every file as it was.
TEST_F(Backups, RefusesWhatIsNoPlist) { expectRefused("these are no settings", Refusal::NotAPlist, "not a property list"); }

TEST_F(Backups, RefusesAnotherFormatVersion) {
  expectRefused(backupOf("<integer>2</integer>", "<dict/>", "<dict/>"), Refusal::OtherVersion, "version 2");
}

TEST_F(Backups, RefusesAFileWithoutVersion) {
  expectRefused(backupOf("", "<dict/>", "<dict/>"), Refusal::OtherVersion, "no format version");
}

TEST_F(Backups, RefusesAFileWithoutSettings) {
  expectRefused(backupOf("<integer>1</integer>", "<string>x</string>", "<dict/>"), Refusal::BadSettings,
                "no settings");
}

TEST_F(Backups, RefusesSettingsLargerThanTheirReadersTake) {
  const std::string huge = "<dict><key>x</key><string>" + std::string(66u << 20, 'a') + "</string></dict>";
  expectRefused(backupOf("<integer>1</integer>", huge, "<dict/>"), Refusal::BadSettings, "64 MB");
}

TEST_F(Backups, RefusesALogThatIsNoDictionary) {
  expectRefused(backupOf("<integer>1</integer>", "<dict/>", "<array/>"), Refusal::BadLog, "no dictionary");
}

TEST_F(Backups, RefusesALogEntryThatIsNoRecord) {
  expectRefused(backupOf("<integer>1</integer>", "<dict/>", "<dict><key>0</key><string>x</string></dict>"),
                Refusal::BadLog, "no record");
}

TEST_F(Backups, RefusesALogWithHoles) {
  expectRefused(backupOf("<integer>1</integer>", "<dict/>", "<dict><key>0</key><dict/><key>2</key><dict/></dict>"),
                Refusal::BadLog, "not 0 to 1");
}

TEST_F(Backups, RefusesAFileLargerThanAnyImport) {
  const fs::path file = put("");
  fs::resize_file(file, kMaxBackupBytes + 1);
  auto read = readBackup(file);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().refusal, Refusal::TooLarge);
  EXPECT_EQ(files(), before_);
}

TEST_F(Backups, RefusesALinkedBackup) {
  const fs::path real = put(backupOf("<integer>1</integer>", "<dict/>", "<dict/>"), "real.plist");
  fs::create_symlink(real, folder() / "Calmora-Backup-20260101-000001.plist");
  auto read = readBackup(folder() / "Calmora-Backup-20260101-000001.plist");
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().refusal, Refusal::Unreadable);
}

TEST_F(Backups, ExportRefusesALinkedDocumentsFolder) {
  TempDir outside;
  fs::remove(folder());
  fs::create_directory_symlink(outside.path(), folder());
  auto exported = exportBackup();
  ASSERT_FALSE(exported);
  EXPECT_NE(exported.error().why.find("link"), std::string::npos);
  EXPECT_TRUE(fileNames(outside.path()).empty());
  EXPECT_TRUE(list().empty());
}

TEST_F(Backups, ARestoreThatCannotKeepAFileAsideChangesNothing) {
  auto read = readBackup(put(backupOf("<integer>1</integer>", "<dict/>", logOf(3))));
  ASSERT_TRUE(read) << read.error().why;
  // Every name the notifications log could be kept under is taken.
  const std::string stem = logPath(Log::Notifications).string() + ".before-import-";
  platform::clock::setNowForTesting(1'800'000'000'000);
  const std::string when = platform::clock::now().toString("yyyyMMdd-HHmmss").toStdString();
  for (int n = 1; n < 100; ++n) writeBytes(n == 1 ? stem + when : stem + when + "-" + std::to_string(n), "");
  const auto taken = files();
  auto done = restore(*read);
  ASSERT_FALSE(done);
  EXPECT_EQ(done.error().refusal, Refusal::WriteFailed);
  EXPECT_EQ(files(), taken);
  platform::clock::setNowForTesting(std::nullopt);
}

TEST_F(Backups, AnImportKilledMidwayLeavesTheFilesAsTheyWere) {
  // Logs large enough that writing them takes a while.
  const fs::path file = put(backupOf("<integer>1</integer>", "<dict/>", logOf(80000, std::string(100, 'c')),
                                     logOf(80000, std::string(100, 'n'))));
  const std::string root = dir_.path().string(), name = file.string();
  const char* argv[] = {CALMORA_BACKUP_IMPORT_HELPER, root.c_str(), name.c_str(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  // Killed while it writes the calls log's replacement, the settings' written already.
  const fs::path prefs = logPath(Log::Calls).parent_path();
  const std::string temporary = "." + logPath(Log::Calls).filename().string() + ".";
  bool seen = false;
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
       !seen && std::chrono::steady_clock::now() < until;) {
    for (const auto& n : fileNames(prefs)) seen = seen || n.starts_with(temporary);
    if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(seen);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the import ended before it was killed";
  // Only temporary files were added, which the next import removes.
  auto now = files();
  std::erase_if(now, [](const auto& f) { return f.first.starts_with("."); });
  EXPECT_EQ(now, before_);
  auto read = readBackup(file);
  ASSERT_TRUE(read) << read.error().why;
  ASSERT_TRUE(restore(*read));
  for (const auto& n : fileNames(prefs)) EXPECT_FALSE(n.starts_with(".")) << n;
  EXPECT_EQ(calmora::logs::unreadCount(Log::Notifications), 80000);
}

}  // namespace
}  // namespace calmoprefs::backup
