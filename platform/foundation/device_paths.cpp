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

std::filesystem::path devicePath(std::string_view phonePath) {
  while (!phonePath.empty() && phonePath.front() == '/') phonePath.remove_prefix(1);
  return rootStorage() / std::filesystem::path(phonePath);
}

}  // namespace platform
