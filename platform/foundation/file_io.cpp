#include "platform/foundation/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

Error systemError(ErrorCode code, const std::string& context) { return Error{code, errno, context}; }

}  // namespace

Result<std::string> readAll(int fd, const std::filesystem::path& nameForErrors) {
  std::string out;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buf[64 * 1024];
  for (off_t at = 0;;) {
    ssize_t n = ::pread(fd, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return systemError(ErrorCode::Unreadable, "read " + nameForErrors.string());
    if (n == 0) return out;
    out.append(buf, static_cast<size_t>(n));
    at += n;
  }
}

Result<std::string> readFile(const std::filesystem::path& file) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return systemError(errno == ENOENT ? ErrorCode::NotFound : ErrorCode::Unreadable, "open " + file.string());
  auto bytes = readAll(fd, file);
  ::close(fd);
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

std::optional<Error> replaceAtomically(const std::filesystem::path& file, const ReplacementWriter& write) {
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
  if (auto e = write(fd)) return abandon(std::move(*e));
  if (::fchmod(fd, 0644) != 0) return abandon(systemError(ErrorCode::WriteFailed, "chmod " + tmpl));
  if (::fsync(fd) != 0) return abandon(systemError(ErrorCode::WriteFailed, "flush " + tmpl));
  if (::close(fd) != 0) {
    Error e = systemError(ErrorCode::WriteFailed, "close " + tmpl);
    ::unlink(tmpl.c_str());
    return e;
  }
  if (::rename(tmpl.c_str(), file.c_str()) != 0) {
    Error e = systemError(ErrorCode::WriteFailed, "rename over " + file.string());
    ::unlink(tmpl.c_str());
    return e;
  }
  return std::nullopt;
}

std::optional<Error> replaceAtomically(const std::filesystem::path& file, std::string_view bytes) {
  return replaceAtomically(file, [&](int fd) -> std::optional<Error> {
    if (writeAll(fd, bytes)) return std::nullopt;
    return systemError(ErrorCode::WriteFailed, "write a replacement of " + file.string());
  });
}

std::optional<Error> renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  auto failed = [&] {
    return systemError(errno == EEXIST ? ErrorCode::Exists : ErrorCode::WriteFailed,
                       "rename " + from.string() + " to " + to.string());
  };
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return std::nullopt;
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
    return ::rename(from.c_str(), to.c_str()) == 0 ? std::nullopt : std::optional<Error>(failed());
  }
  if (::link(from.c_str(), to.c_str()) != 0) return failed();
  if (::unlink(from.c_str()) != 0) {
    Error e = failed();
    ::unlink(to.c_str());
    return e;
  }
  return std::nullopt;
}

}  // namespace platform
