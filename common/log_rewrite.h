// A log file opened for reading, and the atomic rewrite of a log from its
// old version plus a few edits, which copies the unchanged bytes from file
// to file in the kernel instead of through a copy in memory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/log_xml.h"
#include "platform/foundation/error.h"

namespace calmora::logs {

class OpenLog {
 public:
  enum class State { Missing, Open, Failed };
  // A log is read only from a regular file of at most kMaxLogBytes at its
  // own path, never through a symbolic link.
  explicit OpenLog(const std::filesystem::path& file);
  OpenLog(const OpenLog&) = delete;
  OpenLog& operator=(const OpenLog&) = delete;
  ~OpenLog();

  State state() const { return state_; }
  const platform::Error& error() const { return error_; }  // why, when Failed
  int fd() const { return fd_; }

 private:
  State state_ = State::Missing;
  int fd_ = -1;
  platform::Error error_;
};

// Writes the first `size` bytes of `source` with `edits` (in file order)
// applied as the replacement of `file` (platform::replaceAtomically); a
// source that turns out shorter than `size` is a failure.
platform::Result<void> rewriteAtomically(const std::filesystem::path& file, int source, uint64_t size,
                                         const std::vector<xml::Edit>& edits);

}  // namespace calmora::logs
