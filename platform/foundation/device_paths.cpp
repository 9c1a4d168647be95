#include "platform/foundation/device_paths.h"

namespace platform {
namespace {
std::filesystem::path& rootStorage() {
  static std::filesystem::path root = ".";
  return root;
}
}  // namespace

void setDeviceRoot(const std::filesystem::path& root) { rootStorage() = root; }

const std::filesystem::path& deviceRoot() { return rootStorage(); }

std::filesystem::path devicePath(std::string_view phonePath) { return devicePath(rootStorage(), phonePath); }

std::filesystem::path devicePath(const std::filesystem::path& root, std::string_view phonePath) {
  while (!phonePath.empty() && phonePath.front() == '/') phonePath.remove_prefix(1);
  return root / std::filesystem::path(phonePath);
}

}  // namespace platform
