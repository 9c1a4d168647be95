// An advisory exclusive lock on a lock file, held for the life of the
// object. Every writer of a shared file that reads, changes and rewrites it
// takes the same lock, so no writer's change is lost to another's rewrite.
// flock locks belong to the open file, so two threads of one process that
// each open the lock file exclude each other as two processes do; the lock
// goes with the process if it dies.
#pragma once

#include <filesystem>

#include "platform/foundation/error.h"

namespace platform {

class ExclusiveFileLock {
 public:
  // Waits for flock(LOCK_EX) on `lockFile`, creating it (empty, 0644) when
  // missing. LockFailed when the file cannot be opened or locked, or is a
  // symbolic link or anything else but a regular file.
  [[nodiscard]] static Result<ExclusiveFileLock> acquire(const std::filesystem::path& lockFile);
  // The same without waiting: LockFailed with EWOULDBLOCK while another
  // holds it (one process of a kind per device).
  [[nodiscard]] static Result<ExclusiveFileLock> tryAcquire(const std::filesystem::path& lockFile);

  ExclusiveFileLock(ExclusiveFileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  ExclusiveFileLock& operator=(ExclusiveFileLock&& other) noexcept;
  ExclusiveFileLock(const ExclusiveFileLock&) = delete;
  ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;
  ~ExclusiveFileLock();

 private:
  explicit ExclusiveFileLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace platform
