#include "platform/automation/socket_address.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace platform::automation {

std::optional<std::string> addressPath(const std::filesystem::path& socketFile, int& folder) {
  constexpr size_t room = sizeof(sockaddr_un::sun_path);  // with the closing NUL
  if (socketFile.native().size() < room) return socketFile.native();
  if (folder < 0) folder = ::open(socketFile.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return std::nullopt;
  std::string path = "/proc/self/fd/" + std::to_string(folder) + "/" + socketFile.filename().string();
  if (path.size() >= room) return std::nullopt;
  return path;
}

std::optional<SocketAddress> SocketAddress::of(const std::filesystem::path& socketFile) {
  int folder = ::open(socketFile.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return std::nullopt;
  SocketAddress address(folder, socketFile.filename().string());
  auto path = addressPath(socketFile, address.folder_);
  if (!path) return std::nullopt;
  path->copy(address.address_.sun_path, path->size());
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
