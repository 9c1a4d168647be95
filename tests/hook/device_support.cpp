#include "tests/hook/device_support.h"

#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <fstream>

#include "common/names.h"
#include "hook/installation.h"
#include "hook/process_state.h"
#include "platform/apps/default_apps.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/springboard/uikit.h"

namespace calmora::testing {
namespace fs = std::filesystem;

namespace {
// A widget-capable application for the screen; made once per process.
void ensureApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char arg0[] = "hook_tests";
  static char* argv[] = {arg0, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
}

// Default apps are generated once and copied into each test's device.
const fs::path& appTemplate() {
  static fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("calmora-apps-" + std::to_string(::getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    platform::apps::installDefaultApps(d);
    return d;
  }();
  return dir;
}
}  // namespace

int64_t HookDevice::localMs(int year, int month, int day, int hour, int minute, int second) {
  QDateTime t(QDate(year, month, day), QTime(hour, minute, second), platform::clock::timeZone());
  return t.toMSecsSinceEpoch();
}

void HookDevice::setNow(int64_t ms) { platform::clock::setNowForTesting(ms); }

void HookDevice::SetUp() {
  ensureApplication();
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  root = fs::temp_directory_path() /
         ("calmora-hook-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
  fs::remove_all(root);
  fs::create_directories(root / "var/mobile/Library/Preferences");
  fs::create_directories(root / "var/mobile/Library/AddressBook");
  fs::copy(appTemplate(), root, fs::copy_options::recursive);
  platform::writeDeviceDescription(root, platform::DeviceDescription{});
  platform::setDeviceRoot(root);
  // The shared store reads the address book of the device root it was made
  // for; each test has its own root.
  platform::contacts::setSharedStore(nullptr);
  platform::clock::setTimeZoneForTesting("Europe/Berlin");
  setNow(localMs(2026, 12, 7, 10, 30));

  center_ = std::make_shared<platform::InProcessCenter>();
  platform::setDefaultCenter(center_);
  for (auto name : names::signal::kCatalogue)
    center_->addObserver(name, [this](const platform::Notification& n) { posted_.push_back(n); });
}

void HookDevice::TearDown() {
  board_.reset();
  resetProcessStateForTesting();
  platform::contacts::setSharedStore(nullptr);
  platform::setDefaultCenter(nullptr);
  platform::clock::setNowForTesting(std::nullopt);
  platform::clock::setTimeZoneForTesting({});
  std::error_code ec;
  fs::remove_all(root, ec);
}

void HookDevice::writeFile(const std::string& phonePath, const std::string& bytes) {
  auto path = platform::devicePath(phonePath);
  fs::create_directories(path.parent_path());
  ASSERT_FALSE(platform::plist::writeBytesAtomically(path, bytes));
}

void HookDevice::writeSettings(const platform::plist::Value& settings) {
  ASSERT_FALSE(platform::plist::writeXmlAtomically(platform::devicePath(names::kSettingsPath), settings.ref()));
}

void HookDevice::boot(const platform::plist::Value& settings) {
  writeSettings(settings);
  boot();
}

void HookDevice::boot() {
  resetProcessStateForTesting();
  board_ = std::make_unique<platform::springboard::SpringBoard>(root);
  board_->start([] {
    loadTimeStep1();
    loadTimeStep2();
  });
}

std::vector<std::string> HookDevice::takePosted() {
  std::vector<std::string> names;
  for (const auto& n : takeNotifications()) names.push_back(n.name);
  return names;
}

std::vector<platform::Notification> HookDevice::takeNotifications() {
  center_->deliverPending();
  return std::exchange(posted_, {});
}

}  // namespace calmora::testing
