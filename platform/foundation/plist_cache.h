// A property-list file read whole, parsed once, and parsed again only when
// the file on disk is another one (new inode, size or modification time).
// Writers replace files atomically, so every change gives a new inode and
// the next `get()` sees it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/foundation/file_io.h"
#include "platform/foundation/plist.h"

namespace platform::plist {

class CachedDictionary {
 public:
  explicit CachedDictionary(std::filesystem::path file) : file_(std::move(file)) {}

  struct Snapshot {
    Value dict;  // always a dictionary
    ReadState state = ReadState::Missing;
    uint64_t generation = 0;  // differs whenever the content may differ
  };
  // The current content; cheap (one stat) while the file is unchanged.
  std::shared_ptr<const Snapshot> get();

 private:
  std::filesystem::path file_;
  std::mutex mutex_;
  std::optional<FileVersion> identity_;
  std::shared_ptr<const Snapshot> snapshot_;
  uint64_t generation_ = 0;
};

}  // namespace platform::plist
