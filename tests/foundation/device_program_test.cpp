#include "platform/foundation/device_program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/foundation/device_paths.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::ErrorCode;

struct DeviceRoot {
  testsupport::TempDir dir{"calmora-program-test"};
  DeviceRoot() { platform::setDeviceRoot(dir.path()); }
  ~DeviceRoot() { platform::setDeviceRoot("."); }
};

ErrorCode codeOf(std::string_view path) {
  auto started = platform::startDeviceProgram(path, {});
  return started ? ErrorCode::Exists : started.error().code;
}

TEST(DeviceProgram, StartsAnInstalledProgramWithItsArgumentsAndRefusesWhatIsNoProgramOfTheDevice) {
  DeviceRoot device;
  const fs::path bin = device.dir.path() / "usr/bin";
  fs::create_directories(bin);
  fs::copy_file("/bin/touch", bin / "touch");
  const fs::path made = device.dir.path() / "made by touch";
  auto started = platform::startDeviceProgram("/usr/bin/touch", {made.string()});
  ASSERT_TRUE(started.ok()) << started.error().describe();
  EXPECT_GT(*started, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::exists(made) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fs::exists(made));

  testsupport::writeBytes(bin / "plain", "not a program");
  fs::create_symlink("/bin/true", bin / "outside");
  EXPECT_EQ(codeOf("/usr/bin/none"), ErrorCode::NotFound);
  EXPECT_EQ(codeOf("usr/bin/touch"), ErrorCode::NotFound);
  EXPECT_EQ(codeOf("/usr/bin"), ErrorCode::NotRegularFile);
  EXPECT_EQ(codeOf("/usr/bin/outside"), ErrorCode::NotRegularFile);
  EXPECT_EQ(codeOf("/usr/bin/plain"), ErrorCode::Unreadable);
}

}  // namespace
