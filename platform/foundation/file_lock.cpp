#include "platform/foundation/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

Result<int> lock(const std::filesystem::path& lockFile, int how) {
  // A symbolic link is never followed: O_CREAT would make a file at its
  // target. Nor is anything but a regular file locked.
  int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return Error{ErrorCode::LockFailed, errno, "open " + lockFile.string()};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Error e{ErrorCode::LockFailed, 0, "lock " + lockFile.string() + ": not a regular file"};
    ::close(fd);
    return e;
  }
  while (::flock(fd, how) != 0) {
    if (errno == EINTR) continue;
    Error e{ErrorCode::LockFailed, errno, "lock " + lockFile.string()};
    ::close(fd);
    return e;
  }
  return fd;
}

}  // namespace

Result<ExclusiveFileLock> ExclusiveFileLock::acquire(const std::filesystem::path& lockFile) {
  auto fd = lock(lockFile, LOCK_EX);
  if (!fd) return fd.error();
  return ExclusiveFileLock(*fd);
}

Result<ExclusiveFileLock> ExclusiveFileLock::tryAcquire(const std::filesystem::path& lockFile) {
  auto fd = lock(lockFile, LOCK_EX | LOCK_NB);
  if (!fd) return fd.error();
  return ExclusiveFileLock(*fd);
}

ExclusiveFileLock& ExclusiveFileLock::operator=(ExclusiveFileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

// Closing the only descriptor of the open file releases the lock.
ExclusiveFileLock::~ExclusiveFileLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace platform
