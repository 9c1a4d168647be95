#include "common/log_rewrite.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

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

// The output of a rewrite with many edits close together (a log whose
// records are renumbered has one at every record): the short stretches of
// the source between them are read a large chunk at a time and written
// with the edits' texts in one writev, instead of two system calls per
// edit. Long stretches are still copied in the kernel.
class SplicedOutput {
 public:
  SplicedOutput(int from, int to) : from_(from), to_(to) {}

  bool copy(uint64_t offset, uint64_t n) {
    if (n == 0) return true;
    if (n >= kDirect) return flush() && copyRange(from_, offset, to_, n);
    if (offset < chunkAt_ || offset + n > chunkAt_ + chunkLength_) {
      // The pieces point into the chunk: they go before it is read again.
      if (!flush()) return false;
      if (!readChunk(offset, n)) return false;
    }
    return add(chunk_.data() + (offset - chunkAt_), n);
  }
  // `text` must live until the next flush.
  bool write(std::string_view text) { return text.empty() || add(text.data(), text.size()); }

  bool flush() {
    size_t first = 0;
    while (first < pieces_.size()) {
      ssize_t w = ::writev(to_, pieces_.data() + first, static_cast<int>(pieces_.size() - first));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      // Past the pieces written whole, into a piece written in part.
      auto left = static_cast<size_t>(w);
      while (first < pieces_.size() && left >= pieces_[first].iov_len) left -= pieces_[first++].iov_len;
      if (left > 0) {
        pieces_[first].iov_base = static_cast<char*>(pieces_[first].iov_base) + left;
        pieces_[first].iov_len -= left;
      }
    }
    pieces_.clear();
    return true;
  }

 private:
  static constexpr uint64_t kDirect = 256 * 1024;
  static constexpr size_t kChunk = 1024 * 1024;

  bool add(const char* data, size_t n) {
    if (pieces_.size() == IOV_MAX && !flush()) return false;
    pieces_.push_back(iovec{const_cast<char*>(data), n});
    return true;
  }

  bool readChunk(uint64_t offset, uint64_t atLeast) {
    chunk_.resize(std::max<size_t>(kChunk, atLeast));
    chunkAt_ = offset;
    chunkLength_ = 0;
    while (chunkLength_ < atLeast) {
      ssize_t r = ::pread(from_, chunk_.data() + chunkLength_, chunk_.size() - chunkLength_,
                          static_cast<off_t>(offset + chunkLength_));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) {
        if (r == 0) errno = EIO;  // the source is shorter than it was
        return false;
      }
      chunkLength_ += static_cast<uint64_t>(r);
    }
    return true;
  }

  int from_, to_;
  std::vector<char> chunk_;
  uint64_t chunkAt_ = 0, chunkLength_ = 0;
  std::vector<iovec> pieces_;
};

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
    SplicedOutput out(source, fd);
    uint64_t at = 0;
    for (const auto& e : edits) {
      if (e.offset < at || e.offset + e.length > size) {
        errno = EINVAL;
        return failed("edit");
      }
      if (!out.copy(at, e.offset - at)) return failed("copy");
      if (!out.write(e.text)) return failed("write");
      at = e.offset + e.length;
    }
    if (!out.copy(at, size - at) || !out.flush()) return failed("copy");
    return std::nullopt;
  });
}

}  // namespace calmora::logs
