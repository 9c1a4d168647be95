#include "platform/foundation/device_bus.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/foundation/dbus_center.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace fs = std::filesystem;
using testsupport::runUntil;

namespace {

class DeviceBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* s = ::getenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_TRUE(s && *s) << "the tests run on a session bus (dbus-run-session)";
    session = s;
  }
  void TearDown() override {
    platform::stopDeviceBus(root);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", session.c_str(), 1);
  }
  void writeRecord(const std::string& file, const std::string& text) {
    fs::create_directories(root / "run");
    std::ofstream(root / "run" / file) << text << "\n";
  }

  testsupport::TempDir scratch_{"calmora-bus"};
  const fs::path root = scratch_.path();
  std::string session;
};

TEST_F(DeviceBusTest, BorrowsTheSessionBusAndLeavesItRunningWhenStopped) {
  EXPECT_EQ(platform::deviceBusAddress(root), "");
  EXPECT_EQ(platform::ensureDeviceBus(root), session);
  EXPECT_EQ(platform::deviceBusAddress(root), session);
  EXPECT_FALSE(fs::exists(root / "run" / "bus.pid"));

  platform::stopDeviceBus(root);
  EXPECT_EQ(platform::deviceBusAddress(root), "");
  EXPECT_TRUE(platform::busReachable(session));
}

TEST_F(DeviceBusTest, StartsOnePrivateBusWhenNoSessionBusAnswersAndStopsIt) {
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/calmora-session.sock", 1);
  const std::string address = platform::ensureDeviceBus(root);
  ASSERT_FALSE(address.empty());
  EXPECT_NE(address, session);
  EXPECT_TRUE(platform::busReachable(address));
  EXPECT_EQ(platform::deviceBusAddress(root), address);
  EXPECT_TRUE(fs::exists(root / "run" / "bus.pid"));
  EXPECT_EQ(platform::ensureDeviceBus(root), address) << "a second caller reuses the recorded bus";

  {
    auto center = platform::makeDBusCenter(address);
    ASSERT_NE(center, nullptr);
    std::optional<platform::Notification> got;
    center->addObserver("private.ping", [&](const platform::Notification& n) { got = n; });
    center->post("private.ping", {{"k", "v"}});
    ASSERT_TRUE(runUntil([&] { return got.has_value(); }));
    EXPECT_EQ(got->userInfo.at("k"), "v");
  }

  platform::stopDeviceBus(root);
  EXPECT_TRUE(runUntil([&] { return !platform::busReachable(address); }));
  EXPECT_FALSE(fs::exists(root / "run" / "bus"));
  EXPECT_FALSE(fs::exists(root / "run" / "bus.pid"));
}

TEST_F(DeviceBusTest, ARecordedBusThatNoLongerAnswersIsReplacedAndItsPidIsNeverSignalled) {
  writeRecord("bus", "unix:path=/nonexistent/calmora-gone.sock");
  writeRecord("bus.pid", "1");
  EXPECT_EQ(platform::ensureDeviceBus(root), session);
  EXPECT_EQ(platform::deviceBusAddress(root), session);
  EXPECT_FALSE(fs::exists(root / "run" / "bus.pid"));
  // A record naming our own pid: if it were signalled, this test would die
  // here.
  writeRecord("bus", session);
  writeRecord("bus.pid", std::to_string(::getpid()));
  platform::stopDeviceBus(root);
  EXPECT_EQ(platform::deviceBusAddress(root), "");
  EXPECT_FALSE(fs::exists(root / "run" / "bus.pid"));
}

}  // namespace
