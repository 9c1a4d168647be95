#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {
namespace fs = std::filesystem;

TempDir::TempDir(std::string_view prefix, const fs::path& base) {
  std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
  path_ = pattern;
  // As open as a folder made the usual way, so that a test may look at it
  // as another user.
  fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
}

void ensureRuntimeFolder() {
  if (std::getenv("XDG_RUNTIME_DIR")) return;
  static TempDir runtime("calmora-runtime");
  fs::permissions(runtime.path(), fs::perms::owner_all);
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
}

TempDir::~TempDir() {
  std::error_code ec;
  // A test may have taken a folder's write permission; give it back first.
  for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::vector<std::string> fileNames(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::string readBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testsupport
