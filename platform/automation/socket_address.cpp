#include "platform/automation/socket_address.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace platform::automation {

std::optional<SocketAddress> SocketAddress::of(const std::filesystem::path& socketFile) {
  int folder = ::open(socketFile.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return std::nullopt;
  SocketAddress address(folder, socketFile.filename().string());
  char* path = address.address_.sun_path;
  int n = std::snprintf(path, sizeof address.address_.sun_path, "%s", socketFile.c_str());
  if (n < 0 || static_cast<size_t>(n) >= sizeof address.address_.sun_path)
    n = std::snprintf(path, sizeof address.address_.sun_path, "/proc/self/fd/%d/%s", folder, address.name_.c_str());
  if (n < 0 || static_cast<size_t>(n) >= sizeof address.address_.sun_path) return std::nullopt;
  return address;
}

SocketAddress::SocketAddress(int folder, std::string name) : folder_(folder), name_(std::move(name)) {
  address_.sun_family = AF_UNIX;
}

SocketAddress::SocketAddress(SocketAddress&& other) noexcept
    : folder_(other.folder_), name_(std::move(other.name_)), address_(other.address_) {
  other.folder_ = -1;
}

SocketAddress::~SocketAddress() {
  if (folder_ >= 0) ::close(folder_);
}

}  // namespace platform::automation
