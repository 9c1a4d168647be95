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

namespace {

bool writeAt(int fd, std::string_view bytes, uint64_t offset) {
  while (!bytes.empty()) {
    ssize_t w = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(w));
    offset += static_cast<uint64_t>(w);
  }
  return true;
}

// The replacement's bytes on their way out. Long unchanged runs go from
// file to file in the kernel; short ones between edits (marking thousands
// of records read) are gathered with the edits' texts in one buffer, so
// that thousands of edits cost a few large writes rather than two system
// calls each.
class Output {
 public:
  Output(int source, int to) : source_(source), to_(to) {}
  bool copy(uint64_t offset, uint64_t n) {
    written_ += n;
    if (n >= kDirect) return flush() && copyRange(source_, offset, to_, n);
    const size_t at = buffer_.size();
    buffer_.resize(at + n);
    for (size_t done = 0; done < n;) {
      ssize_t r = ::pread(source_, buffer_.data() + at + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) {
        if (r == 0) errno = EIO;  // the source is shorter than it was
        return false;
      }
      done += static_cast<size_t>(r);
    }
    return buffer_.size() < kFlushAt || flush();
  }
  bool put(std::string_view text) {
    written_ += text.size();
    buffer_.append(text);
    return buffer_.size() < kFlushAt || flush();
  }
  bool flush() {
    bool ok = platform::writeAll(to_, buffer_);
    buffer_.clear();
    return ok;
  }
  uint64_t written() const { return written_; }

  static constexpr uint64_t kDirect = 256 * 1024;  // runs this long are copied in the kernel

 private:
  static constexpr size_t kFlushAt = 1024 * 1024;
  int source_, to_;
  std::string buffer_;
  uint64_t written_ = 0;
};

}  // namespace

platform::Result<void> rewriteAtomically(const std::filesystem::path& file, int source, uint64_t size,
                                         const std::vector<xml::Edit>& edits) {
  return platform::replaceAtomically(file, [&](int fd) -> platform::Result<void> {
    auto failed = [&](const char* step) {
      return platform::Error{platform::ErrorCode::WriteFailed, errno, std::string(step) + " " + file.string()};
    };
    Output out(source, fd);
    // An edit that keeps the length (a record's key renumbered) moves no
    // byte after it: after a long run, which is copied in the kernel, the
    // run around it is copied whole and the edit written over its copy
    // afterwards; after a short one it joins the buffered output as any edit.
    struct Patch {
      uint64_t at;
      const std::string* text;
    };
    std::vector<Patch> patches;
    int64_t shift = 0;  // output offset - source offset
    uint64_t at = 0, last = 0;
    for (const auto& e : edits) {
      if (e.offset < last || e.offset + e.length > size) {
        errno = EINVAL;
        return failed("edit");
      }
      last = e.offset + e.length;
      if (e.text.size() == e.length && e.offset - at >= Output::kDirect) {
        patches.push_back({e.offset + static_cast<uint64_t>(shift), &e.text});
        continue;
      }
      if (!out.copy(at, e.offset - at)) return failed("copy");
      if (!out.put(e.text)) return failed("write");
      at = e.offset + e.length;
      shift = static_cast<int64_t>(out.written()) - static_cast<int64_t>(at);
    }
    if (!out.copy(at, size - at) || !out.flush()) return failed("copy");
    for (const Patch& p : patches)
      if (!writeAt(fd, *p.text, p.at)) return failed("write");
    return {};
  });
}

}  // namespace calmora::logs
