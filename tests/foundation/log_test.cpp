// The diagnostic lines of a process on standard error: a line repeated is
// said once and then with a count, and a log file past its bound is kept as
// NAME.1 and begun anew. Each case runs in a child whose standard error is
// a file, as a device process's is.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/foundation/log.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& file) {
  std::ostringstream out;
  out << std::ifstream(file).rdbuf();
  return out.str();
}

// Runs `lines` in a child whose standard error is `log`, ended by exit().
void inChild(const fs::path& log, const std::function<void()>& lines) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(fd, STDERR_FILENO);
    lines();
    std::exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Log, ARepeatedLineIsSaidOnceWithItsCount) {
  testsupport::TempDir dir;
  const fs::path log = dir.path() / "p.log";
  inChild(log, [] {
    for (int i = 0; i < 1500; ++i) platform::log("does not fit");
    platform::log("other");
    platform::log("last");
    platform::log("last");
  });
  EXPECT_EQ(readAll(log),
            "does not fit\ndoes not fit (repeated 1,499 times in 0 s)\nother\nlast\nlast (repeated 1 time in 0 s)\n");
}

TEST(Log, AFullLogIsKeptAsItsPredecessorAndBegunAnew) {
  testsupport::TempDir dir;
  const fs::path log = dir.path() / "p.log";
  const std::string filler(1000, 'x');
  inChild(log, [&] {
    // Three bounds' worth of distinct lines: two rotations.
    for (long i = 0; i < 3 * platform::kMaxDiagnosticBytes / 1000; ++i) platform::log(i, filler);
    platform::log("the end");
  });
  const auto kept = fs::file_size(dir.path() / "p.log.1");
  EXPECT_GE(kept, static_cast<uintmax_t>(platform::kMaxDiagnosticBytes));
  EXPECT_LT(kept, static_cast<uintmax_t>(platform::kMaxDiagnosticBytes) + 2000);
  EXPECT_LT(fs::file_size(log), static_cast<uintmax_t>(platform::kMaxDiagnosticBytes));
  EXPECT_FALSE(fs::exists(dir.path() / "p.log.1.1"));
  const std::string now = readAll(log);
  EXPECT_EQ(now.rfind("log: the lines before are in " + log.string() + ".1\n", 0), 0u) << now.substr(0, 80);
  EXPECT_TRUE(now.ends_with("the end\n"));
}

}  // namespace
