// Files and property lists on disk: reading what other programs wrote and
// what they should not have, atomic replacement under crashes and failing
// writes, keeping unreadable files aside, size limits, stale temporary files.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/foundation/clock.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/mapped_file.h"
#include "platform/foundation/plist.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {
namespace fs = std::filesystem;
using namespace platform::plist;
using platform::ErrorCode;
using testsupport::LogCapture;
using testsupport::readBytes;
using testsupport::writeBytes;
using Names = std::vector<std::string>;

// A scratch folder per test.
class Folder : public ::testing::Test {
 protected:
  Names names() const { return testsupport::fileNames(dir); }
  testsupport::TempDir scratch_{"calmora-foundation"};
  const fs::path dir = scratch_.path();
};

class PlistRead : public Folder {};

const fs::path kSeeds = PLIST_SEEDS_DIR;

TEST_F(PlistRead, SettingsAndLogsWrittenByAnotherProgramReadTheSameAsXmlAndAsBinary) {
  for (const char* name : {"settings", "calls-log", "every-type"}) {
    auto xml = readDictionary(kSeeds / (std::string(name) + ".xml.plist"));
    auto bin = readDictionary(kSeeds / (std::string(name) + ".bin.plist"));
    ASSERT_EQ(xml.state, ReadState::Ok) << name;
    ASSERT_EQ(bin.state, ReadState::Ok) << name;
    EXPECT_EQ(toXml(xml.dict.ref()), toXml(bin.dict.ref())) << name;
  }
  auto settings = readDictionary(kSeeds / "settings.bin.plist").dict;
  EXPECT_TRUE(settings["isTweakEnabled"].truthy());
  EXPECT_EQ(settings["sound"].integer(), 1005);
  EXPECT_TRUE(settings["410FE041-5C4E-48DA-B4DE-04C15EA3DBAC"]["com.apple.mobilephoneCall"].truthy());
  EXPECT_EQ(settings["410FE041-5C4E-48DA-B4DE-04C15EA3DBAC"]["weekdayHour2"].text(), "08:00-17:00");
  auto log = readDictionary(kSeeds / "calls-log.xml.plist").dict;
  EXPECT_EQ(log.size(), 5u);
  EXPECT_EQ(log["4"]["From"].text(), "Caller 4");
  EXPECT_FALSE(log["4"]["isRead"].truthy());
  auto every = readDictionary(kSeeds / "every-type.xml.plist").dict;
  EXPECT_EQ(every["s"].text(), "text \u00e9\u00e8 \U0001F4DE");
  EXPECT_EQ(every["i"].integer(), -42);
  EXPECT_EQ(every["big"].integer(), INT64_MAX);
  EXPECT_EQ(every["a"].at(2).at(1)["four"].integer(), 4);
}

TEST_F(PlistRead, AMissingFileIsAQuietEmptyDictionary) {
  LogCapture log;
  auto r = readDictionary(dir / "absent.plist");
  EXPECT_EQ(r.state, ReadState::Missing);
  EXPECT_TRUE(r.dict.isDict());
  EXPECT_EQ(r.dict.size(), 0u);
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(PlistRead, GarbageTruncatedAndNonDictionaryFilesReadEmptyWithADiagnosticLine) {
  std::string xml = readBytes(kSeeds / "settings.xml.plist");
  std::string bin = readBytes(kSeeds / "settings.bin.plist");
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 255 + 1));
  struct Case {
    const char* name;
    std::string bytes;
    platform::ErrorCode why;
  } cases[] = {
      {"empty", "", platform::ErrorCode::Empty},
      {"garbage", garbage, platform::ErrorCode::Malformed},
      {"xml-cut", xml.substr(0, xml.size() / 2), platform::ErrorCode::Malformed},
      {"binary-cut", bin.substr(0, bin.size() - 10), platform::ErrorCode::Malformed},
      {"binary-magic-only", "bplist00", platform::ErrorCode::Malformed},
      {"root-array", readBytes(kSeeds / "root-array.xml.plist"), platform::ErrorCode::NotADictionary},
      {"root-string", readBytes(kSeeds / "root-string.bin.plist"), platform::ErrorCode::NotADictionary},
  };
  for (const auto& c : cases) {
    LogCapture log;
    writeBytes(dir / c.name, c.bytes);
    auto r = readDictionary(dir / c.name);
    EXPECT_EQ(r.state, ReadState::Unreadable) << c.name;
    EXPECT_TRUE(r.dict.isDict()) << c.name;
    EXPECT_EQ(r.dict.size(), 0u) << c.name;
    ASSERT_TRUE(r.error) << c.name;
    EXPECT_EQ(r.error->code, c.why) << c.name << ": " << r.error->context;
    EXPECT_FALSE(log.lines().empty()) << c.name;
  }
}

class PlistWrite : public Folder {
 protected:
  // Version n: its number, a payload whose size depends on n, and a
  // checksum of the payload, so that any mix of two versions shows.
  static Value version(int n) {
    auto d = Value::dict();
    std::string payload((n % 7 + 1) * 40000, static_cast<char>('a' + n % 26));
    d.set("n", Value::integer(n));
    d.set("payload", Value::string(payload));
    d.set("check", Value::integer(static_cast<int64_t>(payload.size()) * 31 + payload[0]));
    return d;
  }
  static bool whole(Ref d) {
    auto payload = d["payload"].string();
    return payload && d["n"].integer() && d["check"].integer() == static_cast<int64_t>(payload->size()) * 31 + (*payload)[0] &&
           payload->size() == static_cast<size_t>((*d["n"].integer() % 7 + 1) * 40000);
  }
  // Files beside the target that a writer left behind.
  size_t leftovers() const {
    size_t n = 0;
    for (const auto& name : names()) n += name != "file.plist" ? 1 : 0;
    return n;
  }
};

TEST_F(PlistWrite, AWriterKilledAtRandomMomentsNeverLeavesATornFile) {
  fs::path file = dir / "file.plist";
  ASSERT_TRUE(writeXmlAtomically(file, version(0).ref()));
  EXPECT_EQ(leftovers(), 0u);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  std::mt19937 random(20261207);
  int lastSeen = 0;
  for (int round = 0; round < 40; ++round) {
    pid_t child = testsupport::startChild([&] {
      for (int n = 1;; ++n)
        if (!writeXmlAtomically(file, version(n).ref())) return 1;
    });
    ASSERT_GT(child, 0);
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 25000)(random));
    ::kill(child, SIGKILL);
    int status = testsupport::waitChild(child, 10000);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed or hung in round " << round;
    auto r = readDictionary(file);
    ASSERT_EQ(r.state, ReadState::Ok) << "round " << round;
    ASSERT_TRUE(whole(r.dict.ref())) << "round " << round;
    lastSeen = static_cast<int>(*r.dict["n"].integer());
  }
  EXPECT_GT(lastSeen, 0);
  // Some kills landed in the middle of a write: its temporary file stayed.
  EXPECT_GT(leftovers(), 0u);
}

TEST_F(PlistWrite, AFullDiskOrAReadOnlyFolderFailsTheWriteAndKeepsTheOldFile) {
  fs::path file = dir / "file.plist";
  ASSERT_TRUE(writeXmlAtomically(file, version(1).ref()));
  std::string before = readBytes(file);
  for (int expected : {EFBIG, EACCES}) {
    pid_t child = testsupport::startChild([&] {
      if (expected == EFBIG) {
        // A file size limit makes write() fail with EFBIG as a full disk
        // makes it fail with ENOSPC; the signal it raises would end the process.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{16384, 16384};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
      } else if (::geteuid() == 0) {
        // Root writes anywhere: the child gives that up for nobody, who may
        // not write in a folder that root owns.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 10;
      } else {
        fs::permissions(dir, fs::perms::owner_write, fs::perm_options::remove);
      }
      auto written = writeXmlAtomically(file, version(6).ref());
      if (written) return 11;
      return written.error().code == platform::ErrorCode::WriteFailed && written.error().sysErrno == expected ? 0 : 12;
    });
    int status = testsupport::waitChild(child, 20000);
    fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
    ASSERT_TRUE(WIFEXITED(status)) << expected;
    EXPECT_EQ(WEXITSTATUS(status), 0) << expected;
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(leftovers(), 0u);
  }
}

TEST_F(PlistWrite, AMissingFolderOrAFolderInTheFilesPlaceFailsWithItsErrorAndCreatesNothing) {
  auto written = writeXmlAtomically(dir / "no-such-folder" / "file.plist", version(1).ref());
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().code, platform::ErrorCode::WriteFailed);
  EXPECT_EQ(written.error().sysErrno, ENOENT);
  EXPECT_FALSE(fs::exists(dir / "no-such-folder"));

  // A folder standing where the file should be: the rename fails, the
  // temporary file goes, the folder stays.
  fs::create_directories(dir / "file.plist" / "inside");
  written = writeXmlAtomically(dir / "file.plist", version(1).ref());
  ASSERT_FALSE(written);
  const int why = written.error().sysErrno;
  EXPECT_TRUE(why == EISDIR || why == ENOTEMPTY || why == EEXIST) << why;
  EXPECT_TRUE(fs::is_directory(dir / "file.plist" / "inside"));
  EXPECT_EQ(leftovers(), 0u);
}

class KeepAside : public Folder {
 protected:
  void SetUp() override {
    Folder::SetUp();
    platform::clock::setTimeZoneForTesting("Europe/Berlin");
    // 2026-12-07 10:30:05 in Berlin.
    platform::clock::setNowForTesting(int64_t{1796635805} * 1000);
  }
  void TearDown() override {
    platform::clock::setNowForTesting(std::nullopt);
    platform::clock::setTimeZoneForTesting({});
    Folder::TearDown();
  }
};

TEST_F(KeepAside, AnUnreadableFileIsRenamedWithTheTimeNeverOverAnEarlierOneAndNothingOrEmptinessIsNot) {
  fs::path file = dir / "log.plist";
  LogCapture log;
  EXPECT_TRUE(keepUnreadableAside(dir / "absent.plist"));
  writeBytes(dir / "empty.plist", "");
  EXPECT_TRUE(keepUnreadableAside(dir / "empty.plist"));
  EXPECT_TRUE(log.lines().empty());
  for (int i = 1; i <= 4; ++i) {
    writeBytes(file, "garbage " + std::to_string(i));
    ASSERT_TRUE(keepUnreadableAside(file)) << i;
  }
  EXPECT_EQ(log.lines().size(), 4u);
  EXPECT_EQ(names(), (Names{"empty.plist", "log.plist.unreadable-20261207-103005",
                            "log.plist.unreadable-20261207-103005-2", "log.plist.unreadable-20261207-103005-3",
                            "log.plist.unreadable-20261207-103005-4"}));
  EXPECT_EQ(readBytes(dir / "log.plist.unreadable-20261207-103005"), "garbage 1");
  EXPECT_EQ(readBytes(dir / "log.plist.unreadable-20261207-103005-4"), "garbage 4");
}

TEST_F(KeepAside, AFileThatCannotBeMovedIsReportedAndLeftForTheCallerToKeep) {
  LogCapture log;
  // Its folder cannot be searched through a file standing in its way.
  writeBytes(dir / "blocker", "x");
  auto blocked = keepUnreadableAside(dir / "blocker" / "log.plist");
  ASSERT_FALSE(blocked);
  EXPECT_EQ(blocked.error().code, platform::ErrorCode::Unreadable);
  EXPECT_EQ(blocked.error().sysErrno, ENOTDIR);
  EXPECT_FALSE(log.lines().empty());
  // A name taken by a folder that is not empty cannot be renamed over
  // either, and the next free name is used.
  writeBytes(dir / "log.plist", "garbage");
  fs::create_directories(dir / "log.plist.unreadable-20261207-103005" / "x");
  EXPECT_TRUE(keepUnreadableAside(dir / "log.plist"));
  EXPECT_EQ(readBytes(dir / "log.plist.unreadable-20261207-103005-2"), "garbage");
}

class FileIo : public Folder {};

TEST_F(FileIo, AFilePastItsLimitIsTooLargeAndASparseOneIsNeverRead) {
  writeBytes(dir / "ten", "0123456789");
  EXPECT_EQ(platform::readFile(dir / "ten", 10), std::string("0123456789"));
  auto refused = platform::readFile(dir / "ten", 9);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().code, ErrorCode::TooLarge);
  // A sparse settings file just past the limit costs no disk and is never read.
  fs::resize_file(dir / "ten", platform::kMaxFileBytes + 1);
  auto huge = platform::plist::readDictionary(dir / "ten");
  ASSERT_TRUE(huge.error);
  EXPECT_EQ(huge.error->code, ErrorCode::TooLarge);

}

TEST_F(FileIo, OnlyTemporaryFilesOfTheFilesOwnNamingAreRemovedAsStale) {
  for (const char* name : {".log.plist.aB3xYz", ".log.plist.000000", "log.plist", ".log.plist.aB3xY",
                           ".log.plist.aB3xYz7", ".log.plist.aB-xYz", ".other.plist.aB3xYz", "log.plist.aB3xYz",
                           ".log.plist.lock"})
    writeBytes(dir / name, "x");
  fs::create_directory(dir / ".log.plist.Folder");
  fs::create_symlink(dir / "log.plist", dir / ".log.plist.Link12");
  EXPECT_EQ(platform::removeStaleTemporaries(dir / "log.plist"), 2u);
  EXPECT_EQ(names(), (Names{".log.plist.Folder", ".log.plist.Link12", ".log.plist.aB-xYz", ".log.plist.aB3xY",
                            ".log.plist.aB3xYz7", ".log.plist.lock", ".other.plist.aB3xYz", "log.plist",
                            "log.plist.aB3xYz"}));
  EXPECT_EQ(readBytes(dir / "log.plist"), "x");
}

// A bundle's file is read through links that stay inside the bundle, never
// through one that leads out, and a FIFO is refused without waiting.
TEST_F(FileIo, AFileOfAFolderIsReadOnlyWhereItLiesInsideIt) {
  fs::create_directories(dir / "Pane.bundle/art");
  writeBytes(dir / "Pane.bundle/art/icon.png", "inside");
  writeBytes(dir / "outside.png", "outside");
  fs::create_symlink("art/icon.png", dir / "Pane.bundle/near.png");
  fs::create_symlink(dir / "outside.png", dir / "Pane.bundle/far.png");
  ASSERT_EQ(::mkfifo((dir / "Pane.bundle/fifo.png").c_str(), 0600), 0);
  const fs::path bundle = dir / "Pane.bundle";
  EXPECT_EQ(platform::readFileInside(bundle, bundle / "near.png"), std::string("inside"));
  auto far = platform::readFileInside(bundle, bundle / "far.png");
  ASSERT_FALSE(far.ok());
  EXPECT_EQ(far.error().code, ErrorCode::OutsideFolder);
  auto fifo = platform::readFileInside(bundle, bundle / "fifo.png");
  ASSERT_FALSE(fifo.ok());
  EXPECT_EQ(fifo.error().code, ErrorCode::NotRegularFile);
  EXPECT_FALSE(platform::liesInside(bundle, bundle));
}

class Mapping : public Folder {};

// A program that truncates a mapped file in place, instead of renaming a
// new one over it: what lay past the new end reads as zeros, no fault.
TEST_F(Mapping, AFileTruncatedUnderItsMappingReadsZerosPastTheNewEndInsteadOfFaulting) {
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::string bytes(size_t(page) * 3, 'x');
  // Its pages entered at once, or later, after the truncation.
  for (auto pages : {platform::MappedFile::Pages::Now, platform::MappedFile::Pages::Later}) {
    ASSERT_TRUE(platform::replaceAtomically(dir / "log.plist", bytes));
    int fd = ::open((dir / "log.plist").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    platform::MappedFile mapped;
    ASSERT_TRUE(mapped.map(fd, dir / "log.plist", pages));
    ::close(fd);
    if (pages == platform::MappedFile::Pages::Now) {
      ASSERT_EQ(mapped.bytes(), bytes);
    }
    ASSERT_EQ(::truncate((dir / "log.plist").c_str(), page), 0);
    mapped.populate();
    const std::string_view after = mapped.bytes();
    EXPECT_EQ(after.substr(0, size_t(page)), bytes.substr(0, size_t(page)));
    EXPECT_EQ(after.substr(size_t(page) * 2), std::string(size_t(page), '\0'));
    mapped.reset();
    EXPECT_TRUE(mapped.bytes().empty());
  }
}

}  // namespace
