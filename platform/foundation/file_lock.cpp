#include "platform/foundation/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

Result<ExclusiveFileLock> ExclusiveFileLock::acquire(const std::filesystem::path& lockFile) {
  int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Error{ErrorCode::LockFailed, errno, "open " + lockFile.string()};
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    Error e{ErrorCode::LockFailed, errno, "lock " + lockFile.string()};
    ::close(fd);
    return e;
  }
  return ExclusiveFileLock(fd);
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
