// A control socket's address. A unix socket address holds at most 107
// bytes and a device folder can lie deeper than that; such a socket file is
// reached as /proc/self/fd/N/NAME, N being an O_PATH descriptor of its
// folder.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <filesystem>
#include <optional>
#include <string>

namespace platform::automation {

// The longest socket file name that every folder can serve: what an address
// leaves after /proc/self/fd/N/ for the largest descriptor.
inline constexpr size_t kMaxSocketFileName = sizeof(sockaddr_un::sun_path) - sizeof("/proc/self/fd/2147483647/");

// The path that names `socketFile` in an address: the file's own where it
// fits, else /proc/self/fd/N/NAME through `folder`, an O_PATH descriptor of
// the file's folder, opened here when it is negative and kept by the
// caller for as long as the path is used. Nothing when neither fits or the
// folder cannot be opened.
std::optional<std::string> addressPath(const std::filesystem::path& socketFile, int& folder);

class SocketAddress {
 public:
  // Nothing when the folder cannot be opened or the name is too long.
  static std::optional<SocketAddress> of(const std::filesystem::path& socketFile);
  SocketAddress(SocketAddress&& other) noexcept;
  SocketAddress& operator=(SocketAddress&&) = delete;
  ~SocketAddress();

  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address_); }
  socklen_t size() const { return sizeof address_; }
  // The folder's descriptor, for the *at() calls on the socket's name.
  int folder() const { return folder_; }
  const std::string& name() const { return name_; }

 private:
  SocketAddress(int folder, std::string name);
  int folder_;
  std::string name_;
  sockaddr_un address_{};
};

}  // namespace platform::automation
