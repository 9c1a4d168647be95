#include "platform/foundation/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace platform {

namespace {

Error systemError(ErrorCode code, const std::string& context) { return Error{code, errno, context}; }

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "an unknown kind of file";
}

Error notRegular(const std::filesystem::path& file, mode_t mode) {
  return Error{ErrorCode::NotRegularFile, 0, "open " + file.string() + ": " + kindOf(mode) + ", not a regular file"};
}

Error tooLarge(const std::filesystem::path& file, uint64_t maxBytes) {
  return Error{ErrorCode::TooLarge, 0,
               "open " + file.string() + ": larger than " + std::to_string(maxBytes >> 20) + " MiB"};
}

}  // namespace

Result<int> openRegularFile(const std::filesystem::path& file, uint64_t maxBytes, Symlinks symlinks) {
  int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (symlinks == Symlinks::Refuse ? O_NOFOLLOW : 0);
  int fd = ::open(file.c_str(), flags);
  if (fd < 0) {
    Error e = systemError(errno == ENOENT ? ErrorCode::NotFound : ErrorCode::Unreadable, "open " + file.string());
    // A refused symbolic link (ELOOP) or a socket (ENXIO) is no failure to
    // read but a file of another kind.
    struct stat st {};
    int looked = symlinks == Symlinks::Refuse ? ::lstat(file.c_str(), &st) : ::stat(file.c_str(), &st);
    if (e.code == ErrorCode::Unreadable && looked == 0 && !S_ISREG(st.st_mode)) return notRegular(file, st.st_mode);
    return e;
  }
  struct stat st {};
  std::optional<Error> refused;
  if (::fstat(fd, &st) != 0)
    refused = systemError(ErrorCode::Unreadable, "stat " + file.string());
  else if (!S_ISREG(st.st_mode))
    refused = notRegular(file, st.st_mode);
  else if (static_cast<uint64_t>(st.st_size) > maxBytes)
    refused = tooLarge(file, maxBytes);
  else if (int status = ::fcntl(fd, F_GETFL); status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
    refused = systemError(ErrorCode::Unreadable, "open " + file.string());
  if (refused) {
    ::close(fd);
    return std::move(*refused);
  }
  return fd;
}

bool liesInside(const std::filesystem::path& folder, const std::filesystem::path& file) {
  std::error_code ec;
  const auto root = std::filesystem::canonical(folder, ec);
  if (ec) return false;
  const auto target = std::filesystem::canonical(file, ec);
  if (ec) return false;
  auto [rootEnd, targetAt] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
  return rootEnd == root.end() && targetAt != target.end();
}

Result<int> openRegularFileInside(const std::filesystem::path& folder, const std::filesystem::path& file,
                                  uint64_t maxBytes) {
  auto fd = openRegularFile(file, maxBytes);
  if (!fd) return fd;
  // What the descriptor is open on, whatever links led there.
  if (!liesInside(folder, "/proc/self/fd/" + std::to_string(*fd))) {
    ::close(*fd);
    return Error{ErrorCode::OutsideFolder, 0, "open " + file.string() + ": leads out of " + folder.string()};
  }
  return fd;
}

Result<std::string> readFileInside(const std::filesystem::path& folder, const std::filesystem::path& file,
                                   uint64_t maxBytes) {
  auto fd = openRegularFileInside(folder, file, maxBytes);
  if (!fd) return fd.error();
  auto bytes = readAll(*fd, file, maxBytes);
  ::close(*fd);
  return bytes;
}

Result<std::string> readAll(int fd, const std::filesystem::path& nameForErrors, uint64_t maxBytes) {
  std::string out;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0)
    out.reserve(static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), maxBytes)));
  char buf[64 * 1024];
  for (off_t at = 0;;) {
    ssize_t n = ::pread(fd, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return systemError(ErrorCode::Unreadable, "read " + nameForErrors.string());
    if (n == 0) return out;
    if (out.size() + static_cast<size_t>(n) > maxBytes) return tooLarge(nameForErrors, maxBytes);
    out.append(buf, static_cast<size_t>(n));
    at += n;
  }
}

Result<std::string> readFile(const std::filesystem::path& file, uint64_t maxBytes, Symlinks symlinks) {
  auto fd = openRegularFile(file, maxBytes, symlinks);
  if (!fd) return fd.error();
  auto bytes = readAll(*fd, file, maxBytes);
  ::close(*fd);
  return bytes;
}

bool writeAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

namespace {
ReplacementWriter writerOf(const std::filesystem::path& file, std::string_view bytes) {
  return [&file, bytes](int fd) -> Result<void> {
    if (writeAll(fd, bytes)) return {};
    return systemError(ErrorCode::WriteFailed, "write a replacement of " + file.string());
  };
}
}  // namespace

Result<Replacement> Replacement::prepare(const std::filesystem::path& file, const ReplacementWriter& write) {
  std::filesystem::path dir = file.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmpl = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return systemError(ErrorCode::WriteFailed, "create temporary file in " + dir.string());
  auto abandon = [&](Error e) {
    ::close(fd);
    ::unlink(tmpl.c_str());
    return e;
  };
  if (auto written = write(fd); !written) return abandon(written.error());
  if (::fchmod(fd, 0644) != 0) return abandon(systemError(ErrorCode::WriteFailed, "chmod " + tmpl));
  if (::fsync(fd) != 0) return abandon(systemError(ErrorCode::WriteFailed, "flush " + tmpl));
  if (::close(fd) != 0) {
    Error e = systemError(ErrorCode::WriteFailed, "close " + tmpl);
    ::unlink(tmpl.c_str());
    return e;
  }
  return Replacement(file, std::move(tmpl));
}

Result<Replacement> Replacement::prepare(const std::filesystem::path& file, std::string_view bytes) {
  return prepare(file, writerOf(file, bytes));
}

Replacement::Replacement(Replacement&& other) noexcept
    : file_(std::move(other.file_)), temporary_(std::exchange(other.temporary_, {})) {}

Replacement& Replacement::operator=(Replacement&& other) noexcept {
  if (this != &other) {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    file_ = std::move(other.file_);
    temporary_ = std::exchange(other.temporary_, {});
  }
  return *this;
}

Replacement::~Replacement() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

Result<void> Replacement::commit() {
  if (temporary_.empty()) return Error{ErrorCode::WriteFailed, 0, "replace " + file_.string() + ": nothing prepared"};
  if (::rename(temporary_.c_str(), file_.c_str()) != 0)
    return systemError(ErrorCode::WriteFailed, "rename over " + file_.string());
  temporary_.clear();
  return {};
}

Result<void> replaceAtomically(const std::filesystem::path& file, const ReplacementWriter& write) {
  return TRY(Replacement::prepare(file, write)).commit();
}

Result<void> replaceAtomically(const std::filesystem::path& file, std::string_view bytes) {
  return replaceAtomically(file, writerOf(file, bytes));
}

Result<void> replaceIfUnchanged(const std::filesystem::path& file, const std::optional<FileVersion>& expected,
                                std::string_view bytes) {
  auto replacement = TRY(Replacement::prepare(file, bytes));
  // Checked just before the rename, after the slow write.
  if (fileVersion(file) != expected)
    return Error{ErrorCode::Changed, 0, "replace " + file.string() + ": another writer replaced it meanwhile"};
  return replacement.commit();
}

size_t removeStaleTemporaries(const std::filesystem::path& file) {
  std::filesystem::path dir = file.parent_path();
  if (dir.empty()) dir = ".";
  const std::string prefix = "." + file.filename().string() + ".";
  DIR* folder = ::opendir(dir.c_str());
  if (!folder) return 0;
  auto isSuffix = [](std::string_view s) {
    return s.size() == 6 && std::all_of(s.begin(), s.end(), [](char c) {
             return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
  };
  size_t removed = 0;
  while (const dirent* entry = ::readdir(folder)) {
    std::string_view name = entry->d_name;
    if (!name.starts_with(prefix) || !isSuffix(name.substr(prefix.size()))) continue;
    struct stat st {};
    if (::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlinkat(::dirfd(folder), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(folder);
  return removed;
}

namespace {
FileVersion versionOf(const struct stat& st) {
  return FileVersion{st.st_dev, st.st_ino, st.st_size,
                     static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}
}  // namespace

std::optional<FileVersion> fileVersion(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;
  return versionOf(st);
}

std::optional<FileVersion> fileVersion(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return versionOf(st);
}

Result<void> renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  auto failed = [&] {
    return systemError(errno == EEXIST ? ErrorCode::Exists : ErrorCode::WriteFailed,
                       "rename " + from.string() + " to " + to.string());
  };
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return failed();
  // A file system without the flag: a second link, then the old name goes;
  // folders cannot be linked, so for them the check and the rename are two
  // steps.
  std::error_code ec;
  if (std::filesystem::is_directory(from, ec)) {
    if (std::filesystem::exists(to, ec)) {
      errno = EEXIST;
      return failed();
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? Result<void>() : failed();
  }
  if (::link(from.c_str(), to.c_str()) != 0) return failed();
  if (::unlink(from.c_str()) != 0) {
    Error e = failed();
    ::unlink(to.c_str());
    return e;
  }
  return {};
}

}  // namespace platform
