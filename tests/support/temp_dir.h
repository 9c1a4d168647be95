// A folder of the temporary directory for one test, and small file helpers.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// A fresh folder (mkdtemp, so parallel runs never share one), removed with
// everything in it when the object goes, whether the test passed or failed.
class TempDir;

// Where the session gives Qt no runtime folder (a build listing a program's
// cases, CI), one of this process's own, owner-only, removed at exit; Qt
// would otherwise warn and leave /tmp/runtime-USER behind. Before the
// first Qt application.
void ensureRuntimeFolder();

class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "calmora-test",
                   const std::filesystem::path& base = std::filesystem::temp_directory_path());
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Names of the entries directly inside `dir`, sorted.
std::vector<std::string> fileNames(const std::filesystem::path& dir);
std::string readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, std::string_view bytes);

}  // namespace testsupport
