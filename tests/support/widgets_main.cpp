// The main of the test programs whose cases need a widgets application,
// headless.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Qt wants a runtime folder; where the session has none (a build listing
  // the cases, CI), it gets one of its own that goes with the run, rather
  // than a warning and a folder Qt leaves in /tmp.
  std::string runtime;
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string pattern = (std::filesystem::temp_directory_path() / "calmora-tests-XXXXXX").string();
    if (::mkdtemp(pattern.data())) {
      runtime = pattern;
      ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
  }
  int result;
  {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  if (!runtime.empty()) std::filesystem::remove_all(runtime);
  return result;
}
