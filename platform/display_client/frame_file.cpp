#include "platform/display_client/frame_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::display {

namespace {

constexpr uint32_t kMagic = 0x43464d31;  // "CFM1"
constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL;

struct Header {
  uint32_t magic;
  uint32_t reserved;
  uint64_t slotBytes;
};
constexpr size_t kHeaderBytes = 64;  // keeps the slots aligned

std::string failed(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

Result<FrameFile, std::string> FrameFile::create(size_t slotBytes) {
  int fd = ::memfd_create("display.frames", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) return failed("cannot make the frame memory");
  const size_t length = kHeaderBytes + 2 * slotBytes;
  void* map = MAP_FAILED;
  if (::ftruncate(fd, static_cast<off_t>(length)) == 0 && ::fcntl(fd, F_ADD_SEALS, kSeals) == 0)
    map = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) {
    std::string why = failed("cannot map the frame memory");
    ::close(fd);
    return why;
  }
  auto* header = static_cast<Header*>(map);
  header->slotBytes = slotBytes;
  header->magic = kMagic;
  return FrameFile(map, length, slotBytes, fd);
}

Result<FrameFile, std::string> FrameFile::open(int fd) {
  struct stat st {};
  Header header{};
  const bool sound = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                     (::fcntl(fd, F_GET_SEALS) & F_SEAL_SHRINK) != 0 &&
                     ::pread(fd, &header, sizeof header, 0) == sizeof header && header.magic == kMagic &&
                     header.slotBytes <= (size_t{1} << 30) &&
                     static_cast<size_t>(st.st_size) == kHeaderBytes + 2 * header.slotBytes;
  if (!sound) {
    if (fd >= 0) ::close(fd);
    return std::string("the display handed over no sealed frame memory");
  }
  void* map = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return failed("cannot map the frame memory");
  return FrameFile(map, static_cast<size_t>(st.st_size), header.slotBytes, -1);
}

FrameFile::FrameFile(FrameFile&& other) noexcept
    : map_(other.map_), length_(other.length_), slotBytes_(other.slotBytes_), fd_(other.fd_) {
  other.map_ = nullptr;
  other.fd_ = -1;
}

FrameFile::~FrameFile() {
  if (map_) ::munmap(map_, length_);
  if (fd_ >= 0) ::close(fd_);
}

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

}  // namespace platform::display
