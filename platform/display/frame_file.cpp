#include "platform/display/frame_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::display {
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kMagic = 0x43464d31;  // "CFM1"

struct Header {
  uint32_t magic;
  uint32_t reserved;
  uint64_t slotBytes;
};
constexpr size_t kHeaderBytes = 64;  // keeps the slots aligned

bool fail(std::string* why, const std::string& what) {
  if (why) *why = what + ": " + std::strerror(errno);
  return false;
}

}  // namespace

std::optional<FrameFile> FrameFile::create(const fs::path& runDir, size_t slotBytes, std::string* why) {
  const fs::path file = runDir / kFrameFileName;
  // Made anew: a file or link left at the name is removed, never followed.
  ::unlink(file.c_str());
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return fail(why, "cannot create " + file.string()), std::nullopt;
  const size_t length = kHeaderBytes + 2 * slotBytes;
  void* map = MAP_FAILED;
  if (::ftruncate(fd, static_cast<off_t>(length)) == 0)
    map = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) {
    fail(why, "cannot map " + file.string());
    ::close(fd);
    ::unlink(file.c_str());
    return std::nullopt;
  }
  ::close(fd);
  auto* header = static_cast<Header*>(map);
  header->slotBytes = slotBytes;
  header->magic = kMagic;
  return FrameFile(map, length);
}

std::optional<FrameFile> FrameFile::open(const fs::path& runDir, std::string* why) {
  const fs::path file = runDir / kFrameFileName;
  int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fail(why, "cannot open " + file.string()), std::nullopt;
  struct stat st {};
  Header header{};
  const bool sound = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                     (st.st_mode & 077) == 0 && ::pread(fd, &header, sizeof header, 0) == sizeof header &&
                     header.magic == kMagic && header.slotBytes <= (size_t{1} << 30) &&
                     static_cast<size_t>(st.st_size) == kHeaderBytes + 2 * header.slotBytes;
  if (!sound) {
    ::close(fd);
    if (why) *why = file.string() + " is not this user's frame file";
    return std::nullopt;
  }
  void* map = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return fail(why, "cannot map " + file.string()), std::nullopt;
  return FrameFile(map, static_cast<size_t>(st.st_size));
}

FrameFile::FrameFile(FrameFile&& other) noexcept : map_(other.map_), length_(other.length_) {
  other.map_ = nullptr;
}

FrameFile::~FrameFile() {
  if (map_) ::munmap(map_, length_);
}

size_t FrameFile::slotBytes() const { return static_cast<const Header*>(map_)->slotBytes; }

bool FrameFile::write(int slot, const FrameSize& size, const uint8_t* pixels) {
  if (slot < 0 || slot > 1 || size.bytes() > slotBytes()) return false;
  if (size.bytes() == 0) return true;  // an empty frame (before the first commit) has no pixels to copy
  if (!pixels) return false;
  std::memcpy(static_cast<uint8_t*>(map_) + kHeaderBytes + static_cast<size_t>(slot) * slotBytes(), pixels,
              size.bytes());
  return true;
}

std::span<const uint8_t> FrameFile::read(int slot, const FrameSize& size) const {
  if (slot < 0 || slot > 1 || size.width < 0 || size.height < 0 || size.stride < size.width * 4 ||
      size.bytes() > slotBytes())
    return {};
  return {static_cast<const uint8_t*>(map_) + kHeaderBytes + static_cast<size_t>(slot) * slotBytes(), size.bytes()};
}

std::span<uint8_t> FrameFile::pixels(int slot, const FrameSize& size) {
  auto shown = read(slot, size);
  return {const_cast<uint8_t*>(shown.data()), shown.size()};
}

}  // namespace platform::display
