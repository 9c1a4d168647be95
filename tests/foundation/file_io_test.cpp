// What readers take from a path: a regular file within its size limit and
// nothing else, without blocking; what a lock follows; which leftovers of
// killed writers go.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/foundation/file_io.h"
#include "platform/foundation/file_lock.h"
#include "platform/foundation/plist.h"
#include "tests/foundation/foundation_support.h"

namespace {
namespace fs = std::filesystem;
using platform::ErrorCode;
using Names = std::vector<std::string>;

class FileIo : public foundationtest::ScratchFolder {};

TEST_F(FileIo, SpecialFilesAreRefusedAsNotRegularWithoutBlockingOrReadingForever) {
  fs::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", dir / "zero");
  fs::create_symlink("/dev/urandom", dir / "urandom");
  int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string sockPath = (dir / "sock").string();
  ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
  sockPath.copy(addr.sun_path, sockPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  const Names special = {"folder", "fifo", "zero", "urandom", "sock"};
  // In a child with bounded memory: a reader that blocks or reads without
  // end is stopped by the watchdog or the limit, not the machine.
  pid_t child = foundationtest::startChild([&] {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define CALMORA_CAP_MEMORY 1
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer)
#define CALMORA_CAP_MEMORY 1
#endif
#endif
#ifdef CALMORA_CAP_MEMORY
    // The address sanitizer reserves terabytes of shadow memory, so there
    // only the watchdog stands guard.
    rlimit memory{uint64_t{1} << 30, uint64_t{1} << 30};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    int n = 0;
    for (const auto& name : special) {
      ++n;
      auto bytes = platform::readFile(dir / name);
      auto read = platform::plist::readDictionary(dir / name);
      if (bytes.ok() || bytes.error().code != ErrorCode::NotRegularFile) return n;
      if (read.state != platform::plist::ReadState::Unreadable || read.error->code != ErrorCode::NotRegularFile)
        return 10 + n;
    }
    return 0;
  });
  int status = foundationtest::waitChild(child, 10000);
  ::close(sock);
  ASSERT_TRUE(WIFEXITED(status)) << "the reader blocked or died, status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failing case (1-based, +10 for plists) among folder fifo zero urandom sock";
}

TEST_F(FileIo, AFilePastItsLimitIsTooLargeAndALogMayFollowNoSymbolicLink) {
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

  writeBytes(dir / "target", "bytes");
  fs::create_symlink(dir / "target", dir / "link");
  EXPECT_EQ(platform::readFile(dir / "link"), std::string("bytes"));
  auto link = platform::readFile(dir / "link", platform::kMaxLogBytes, platform::Symlinks::Refuse);
  ASSERT_FALSE(link.ok());
  EXPECT_EQ(link.error().code, ErrorCode::NotRegularFile);
  EXPECT_EQ(platform::readFile(dir / "none", 9, platform::Symlinks::Refuse).error().code, ErrorCode::NotFound);
}

TEST_F(FileIo, ALockFileThatIsASymbolicLinkIsNeverFollowed) {
  fs::create_symlink(dir / "elsewhere", dir / "log.plist.lock");
  auto lock = platform::ExclusiveFileLock::acquire(dir / "log.plist.lock");
  ASSERT_FALSE(lock.ok());
  EXPECT_EQ(lock.error().code, ErrorCode::LockFailed);
  EXPECT_FALSE(fs::exists(dir / "elsewhere"));
  ASSERT_EQ(::mkfifo((dir / "fifo.lock").c_str(), 0644), 0);
  EXPECT_FALSE(platform::ExclusiveFileLock::acquire(dir / "fifo.lock").ok());
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

}  // namespace
