#include "tests/support/device.h"

#include <QApplication>
#include <QDateTime>

#include "common/names.h"
#include "hook/installation.h"
#include "hook/process_state.h"
#include "platform/apps/default_apps.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"

namespace testsupport {
namespace fs = std::filesystem;

namespace {
// A widget-capable application for the screen; made once per process.
void ensureApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ensureRuntimeFolder();
  static int argc = 1;
  static char arg0[] = "calmora-test";
  static char* argv[] = {arg0, nullptr};
  [[maybe_unused]] static QApplication* app = new QApplication(argc, argv);
}

// The default apps are rendered once per process and copied into each
// device; the copy goes when the process ends.
const fs::path& appTemplate() {
  static TempDir dir("calmora-apps");
  [[maybe_unused]] static bool installed = (platform::apps::installDefaultApps(dir.path()), true);
  return dir.path();
}
}  // namespace

Device::Device(const fs::path& base) : dir_("calmora-device", base) {
  ensureApplication();
  fs::create_directories(root() / "var/mobile/Library/Preferences");
  fs::create_directories(root() / "var/mobile/Library/AddressBook");
  fs::copy(appTemplate(), root(), fs::copy_options::recursive);
  if (auto written = platform::writeDeviceDescription(root(), platform::DeviceDescription{}); !written)
    platform::log("test device: the default description applies: ", written.error().describe());
  platform::setDeviceRoot(root());
  // The shared store reads the address book of the device root it was made
  // for; each device has its own root.
  platform::contacts::setSharedStore(nullptr);
  platform::clock::setTimeZoneForTesting("Europe/Berlin");
  setNow(localMs(2026, 12, 7, 10, 30));
  // The device's clock, which the tests set, tells blocked calls apart.
  calmora::calls::SameCallFilter::pinNowForTesting(calmora::calls::SameCallFilter::Monotonic{});
  center_ = std::make_shared<platform::InProcessCenter>();
  platform::setDefaultCenter(center_);
  for (auto name : calmora::names::signal::kCatalogue)
    center_->addObserver(name, [this](const platform::Notification& n) { posted_.push_back(n); });
}

Device::~Device() {
  board_.reset();
  calmora::resetProcessStateForTesting();
  platform::contacts::setSharedStore(nullptr);
  platform::setDefaultCenter(nullptr);
  platform::clock::setNowForTesting(std::nullopt);
  platform::clock::setTimeZoneForTesting({});
  calmora::calls::SameCallFilter::pinNowForTesting(std::nullopt);
}

void Device::boot() {
  board_.reset();
  calmora::resetProcessStateForTesting();
  board_ = std::make_unique<platform::springboard::SpringBoard>(root());
  board_->start([] {
    calmora::loadTimeStep1();
    calmora::loadTimeStep2();
  });
}

bool Device::writeFile(std::string_view phonePath, std::string_view bytes) {
  auto path = platform::devicePath(phonePath);
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  return platform::replaceAtomically(path, bytes).ok();
}

std::vector<platform::Notification> Device::takeNotifications() {
  center_->deliverPending();
  return std::exchange(posted_, {});
}

std::vector<std::string> Device::takePosted() {
  std::vector<std::string> names;
  for (const auto& n : takeNotifications()) names.push_back(n.name);
  return names;
}

int64_t Device::localMs(int year, int month, int day, int hour, int minute, int second) {
  QDateTime t(QDate(year, month, day), QTime(hour, minute, second), platform::clock::timeZone());
  return t.toMSecsSinceEpoch();
}

void Device::setNow(int64_t ms) { platform::clock::setNowForTesting(ms); }

}  // namespace testsupport
