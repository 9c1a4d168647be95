// Files as the platform reads and writes them: read whole, replaced
// atomically (a temporary file in the same folder, written, flushed to disk,
// renamed over the old one), renamed without replacing.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"

namespace platform {

// The largest file a reader takes into memory. The settings, an app's
// Info.plist and the address book are far smaller; a log of 10,000 records
// with icons is about 90 MB. A larger file is refused as TooLarge, which
// also bounds how long a decision that reads the settings can take.
inline constexpr uint64_t kMaxFileBytes = uint64_t{64} << 20;
inline constexpr uint64_t kMaxLogBytes = uint64_t{512} << 20;

enum class Symlinks { Follow, Refuse };

// Opens `file` for reading if it is a regular file of at most `maxBytes`;
// the caller closes the descriptor. Never blocks, whatever is at the path
// (a FIFO is opened non-blocking, then refused). NotFound, NotRegularFile
// (naming what is there instead; with Symlinks::Refuse also a symbolic
// link), TooLarge or Unreadable.
Result<int> openRegularFile(const std::filesystem::path& file, uint64_t maxBytes,
                            Symlinks symlinks = Symlinks::Follow);

// Whether `file`, with every link followed, names something inside `folder`
// (also followed), not the folder itself.
bool liesInside(const std::filesystem::path& folder, const std::filesystem::path& file);

// As openRegularFile, for a file that must lie inside `folder` (a bundle):
// a link may lead anywhere inside it, and OutsideFolder is answered for one
// that leads out. The check is made on the open descriptor, so a link
// changed meanwhile cannot lead elsewhere.
Result<int> openRegularFileInside(const std::filesystem::path& folder, const std::filesystem::path& file,
                                  uint64_t maxBytes);
Result<std::string> readFileInside(const std::filesystem::path& folder, const std::filesystem::path& file,
                                   uint64_t maxBytes = kMaxFileBytes);

// The whole file, opened as openRegularFile does.
Result<std::string> readFile(const std::filesystem::path& file, uint64_t maxBytes = kMaxFileBytes,
                             Symlinks symlinks = Symlinks::Follow);
// Everything an open descriptor holds from its start, TooLarge past
// `maxBytes`; it does not move the descriptor's offset.
Result<std::string> readAll(int fd, const std::filesystem::path& nameForErrors, uint64_t maxBytes = kMaxFileBytes);

// Writes all of `bytes` to `fd`, through short writes and interruptions;
// false with errno set when a write fails.
bool writeAll(int fd, std::string_view bytes);

// Writes the replacement of `file` through `write`, which gets the
// temporary file's descriptor and answers an error if it could not write
// it all. On any failure the old file is untouched and the temporary file
// is removed. The new file is mode 0644.
using ReplacementWriter = std::function<Result<void>(int fd)>;
Result<void> replaceAtomically(const std::filesystem::path& file, const ReplacementWriter& write);
Result<void> replaceAtomically(const std::filesystem::path& file, std::string_view bytes);

// The same in two steps, for a change of several files that must happen
// whole or not at all: `prepare` writes and flushes the replacement to a
// temporary file beside `file`, and `commit` renames it over `file`. One
// dropped uncommitted is removed, leaving `file` as it was, so that a
// change whose every file is prepared before the first commit leaves
// nothing changed when it fails, or is killed, while it writes.
class Replacement {
 public:
  static Result<Replacement> prepare(const std::filesystem::path& file, const ReplacementWriter& write);
  static Result<Replacement> prepare(const std::filesystem::path& file, std::string_view bytes);
  Replacement(Replacement&& other) noexcept;
  Replacement& operator=(Replacement&& other) noexcept;
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  const std::filesystem::path& file() const { return file_; }
  Result<void> commit();

 private:
  Replacement(std::filesystem::path file, std::string temporary)
      : file_(std::move(file)), temporary_(std::move(temporary)) {}
  std::filesystem::path file_;
  std::string temporary_;  // empty once committed or moved from
};

// Removes the temporary files replaceAtomically leaves beside `file` when
// its writer is killed: regular files named "." + file name + "." and six
// letters or digits, in the same folder, and nothing else. Only for a
// caller holding the lock every writer of `file` holds while it writes,
// so that no such file can still be in use. Answers how many went.
size_t removeStaleTemporaries(const std::filesystem::path& file);

// Which version of a file is there: writers replace files whole, so any
// change gives another device, inode, size or modification time.
struct FileVersion {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  int64_t mtimeNs = -1;
  bool operator==(const FileVersion&) const = default;
};
std::optional<FileVersion> fileVersion(const std::filesystem::path& file);
std::optional<FileVersion> fileVersion(int fd);

// As replaceAtomically, but the temporary file is renamed over `file` only
// while `file` is still at version `expected` (missing, for std::nullopt);
// otherwise it is removed and Changed answered. The check comes just before
// the rename: it catches a writer that takes no lock, though not one that
// renames within the same instant.
Result<void> replaceIfUnchanged(const std::filesystem::path& file, const std::optional<FileVersion>& expected,
                                std::string_view bytes);

// Renames `from` to `to` unless `to` exists (Exists then), also on file
// systems without a no-replace rename.
Result<void> renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace platform
