// Atomic replacement: a writer killed at any moment, a full disk or a
// missing folder never leave a torn or emptied file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/foundation/file_io.h"
#include "platform/foundation/plist.h"
#include "tests/foundation/foundation_support.h"

namespace {
namespace fs = std::filesystem;
using namespace platform::plist;
using foundationtest::startChild;
using foundationtest::waitChild;

class PlistWrite : public foundationtest::ScratchFolder {
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
  ASSERT_FALSE(writeXmlAtomically(file, version(0).ref()));
  std::mt19937 random(20261207);
  int lastSeen = 0;
  for (int round = 0; round < 40; ++round) {
    pid_t child = startChild([&] {
      for (int n = 1;; ++n)
        if (writeXmlAtomically(file, version(n).ref())) return 1;
    });
    ASSERT_GT(child, 0);
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 25000)(random));
    ::kill(child, SIGKILL);
    int status = waitChild(child, 10000);
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
  ASSERT_FALSE(writeXmlAtomically(file, version(1).ref()));
  std::string before = readBytes(file);
  for (int expected : {EFBIG, EACCES}) {
    pid_t child = startChild([&] {
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
      auto error = writeXmlAtomically(file, version(6).ref());
      if (!error) return 11;
      return error->code == platform::ErrorCode::WriteFailed && error->sysErrno == expected ? 0 : 12;
    });
    int status = waitChild(child, 20000);
    fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
    ASSERT_TRUE(WIFEXITED(status)) << expected;
    EXPECT_EQ(WEXITSTATUS(status), 0) << expected;
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(leftovers(), 0u);
  }
}

TEST_F(PlistWrite, AMissingOrUnusableFolderFailsWithItsErrorAndCreatesNothing) {
  auto error = writeXmlAtomically(dir / "no-such-folder" / "file.plist", version(1).ref());
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, platform::ErrorCode::WriteFailed);
  EXPECT_EQ(error->sysErrno, ENOENT);
  EXPECT_FALSE(fs::exists(dir / "no-such-folder"));

  writeBytes(dir / "not-a-folder", "x");
  error = platform::replaceAtomically(dir / "not-a-folder" / "file.plist", "bytes");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->sysErrno, ENOTDIR);

  // A folder standing where the file should be: the rename fails, the
  // temporary file goes, the folder stays.
  fs::create_directories(dir / "file.plist" / "inside");
  error = writeXmlAtomically(dir / "file.plist", version(1).ref());
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->sysErrno == EISDIR || error->sysErrno == ENOTEMPTY || error->sysErrno == EEXIST) << error->sysErrno;
  EXPECT_TRUE(fs::is_directory(dir / "file.plist" / "inside"));
  EXPECT_EQ(leftovers(), 1u);  // the not-a-folder file only
}

TEST_F(PlistWrite, AReplacedFileIsWholeReadableAndWorldReadable) {
  fs::path file = dir / "file.plist";
  for (int n = 1; n <= 3; ++n) ASSERT_FALSE(writeXmlAtomically(file, version(n).ref()));
  auto r = readDictionary(file);
  ASSERT_EQ(r.state, ReadState::Ok);
  EXPECT_EQ(r.dict["n"].integer(), 3);
  EXPECT_TRUE(whole(r.dict.ref()));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(leftovers(), 0u);
}

}  // namespace
