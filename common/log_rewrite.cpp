#include "common/log_rewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/foundation/file_io.h"

namespace calmora::logs {

namespace {

// Copies `n` bytes of `from` at `offset` to the end of `to`: in the kernel
// where the file system allows, else through a small buffer.
bool copyRange(int from, uint64_t offset, int to, uint64_t n) {
  off_t in = static_cast<off_t>(offset);
  while (n > 0) {
    ssize_t c = ::copy_file_range(from, &in, to, nullptr, n, 0);
    if (c > 0) {
      n -= static_cast<uint64_t>(c);
      continue;
    }
    if (c == 0) {
      errno = EIO;  // the source is shorter than it was
      return false;
    }
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    char buf[64 * 1024];
    while (n > 0) {
      ssize_t r = ::pread(from, buf, std::min<uint64_t>(n, sizeof buf), in);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) {
        if (r == 0) errno = EIO;
        return false;
      }
      if (!platform::writeAll(to, std::string_view(buf, static_cast<size_t>(r)))) return false;
      in += r;
      n -= static_cast<uint64_t>(r);
    }
  }
  return true;
}

}  // namespace

OpenLog::OpenLog(const std::filesystem::path& file) {
  auto fd = platform::openRegularFile(file, platform::kMaxLogBytes, platform::Symlinks::Refuse);
  if (fd) {
    fd_ = *fd;
    state_ = State::Open;
  } else {
    error_ = fd.error();
    state_ = error_.code == platform::ErrorCode::NotFound ? State::Missing : State::Failed;
  }
}

OpenLog::~OpenLog() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<platform::Error> rewriteAtomically(const std::filesystem::path& file, int source, uint64_t size,
                                                 const std::vector<xml::Edit>& edits) {
  return platform::replaceAtomically(file, [&](int fd) -> std::optional<platform::Error> {
    auto failed = [&](const char* step) {
      return platform::Error{platform::ErrorCode::WriteFailed, errno, std::string(step) + " " + file.string()};
    };
    uint64_t at = 0;
    for (const auto& e : edits) {
      if (e.offset < at || e.offset + e.length > size) {
        errno = EINVAL;
        return failed("edit");
      }
      if (!copyRange(source, at, fd, e.offset - at)) return failed("copy");
      if (!platform::writeAll(fd, e.text)) return failed("write");
      at = e.offset + e.length;
    }
    if (!copyRange(source, at, fd, size - at)) return failed("copy");
    return std::nullopt;
  });
}

}  // namespace calmora::logs
