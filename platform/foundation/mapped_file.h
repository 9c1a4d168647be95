// A regular file mapped read-only: its pages are the file cache's own, so
// nothing is copied and a page is touched only when it is read.
//
// A mapping outlives changes made by renaming a new file over the path (as
// every log writer does), but a program that truncates the file in place
// would make a read past the new end fault (SIGBUS). Such a read gets zero
// bytes instead: the process installs, once, a handler that puts a page of
// zeros there when the address lies in one of its mappings.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "platform/foundation/error.h"

namespace platform {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile() { reset(); }

  // Maps the whole of an open regular file (an empty one maps as nothing);
  // `file` names it in errors. Its pages are entered at once, in one walk
  // over the cached file instead of a fault every few pages as they are
  // read, or later, by `populate`, where only a few of them are read first.
  enum class Pages { Now, Later };
  Result<void> map(int fd, const std::filesystem::path& file, Pages pages = Pages::Now);
  void populate() const;
  void reset();
  std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
  int slot_ = -1;  // in the table the fault handler reads
};

}  // namespace platform
