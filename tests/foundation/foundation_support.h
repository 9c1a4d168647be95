// The foundation tests' fixture: a scratch folder per test (tests/support).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace foundationtest {

using testsupport::LogCapture;
using testsupport::startChild;
using testsupport::waitChild;

class ScratchFolder : public ::testing::Test {
 protected:
  // Files of the folder, by name, sorted.
  std::vector<std::string> names() const { return testsupport::fileNames(dir); }
  static std::string readBytes(const std::filesystem::path& file) { return testsupport::readBytes(file); }
  static void writeBytes(const std::filesystem::path& file, std::string_view bytes) {
    testsupport::writeBytes(file, bytes);
  }
  testsupport::TempDir scratch_{"calmora-foundation"};
  const std::filesystem::path dir = scratch_.path();
};

}  // namespace foundationtest
