#include "hook/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace calmora::logs {

namespace {

bool writeAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

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
      if (!writeAll(to, buf, static_cast<size_t>(r))) return false;
      in += r;
      n -= static_cast<uint64_t>(r);
    }
  }
  return true;
}

}  // namespace

OpenLog::OpenLog(const std::filesystem::path& file) {
  fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ >= 0) {
    state_ = State::Open;
  } else {
    error_ = errno;
    state_ = error_ == ENOENT ? State::Missing : State::Failed;
  }
}

OpenLog::~OpenLog() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::string> OpenLog::readAll() const {
  if (fd_ < 0) return std::nullopt;
  std::string out;
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buf[64 * 1024];
  for (off_t at = 0;;) {
    ssize_t n = ::pread(fd_, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return out;
    out.append(buf, static_cast<size_t>(n));
    at += n;
  }
}

std::optional<platform::plist::WriteError> rewriteAtomically(const std::filesystem::path& file, int source,
                                                             uint64_t size, const std::vector<xml::Edit>& edits) {
  std::filesystem::path dir = file.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmpl = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return platform::plist::WriteError{errno, "create temporary file in " + dir.string()};
  auto fail = [&](const char* step) {
    int e = errno;
    ::close(fd);
    ::unlink(tmpl.c_str());
    return platform::plist::WriteError{e, std::string(step) + " " + tmpl};
  };
  uint64_t at = 0;
  for (const auto& e : edits) {
    if (e.offset < at || e.offset + e.length > size) {
      errno = EINVAL;
      return fail("edit");
    }
    if (!copyRange(source, at, fd, e.offset - at)) return fail("copy");
    if (!writeAll(fd, e.text.data(), e.text.size())) return fail("write");
    at = e.offset + e.length;
  }
  if (!copyRange(source, at, fd, size - at)) return fail("copy");
  if (::fchmod(fd, 0644) != 0) return fail("chmod");
  if (::fsync(fd) != 0) return fail("flush");
  if (::close(fd) != 0) {
    int e = errno;
    ::unlink(tmpl.c_str());
    return platform::plist::WriteError{e, "close " + tmpl};
  }
  if (::rename(tmpl.c_str(), file.c_str()) != 0) {
    int e = errno;
    ::unlink(tmpl.c_str());
    return platform::plist::WriteError{e, "rename over " + file.string()};
  }
  return std::nullopt;
}

}  // namespace calmora::logs
