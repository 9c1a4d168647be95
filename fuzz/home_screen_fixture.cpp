#include "fuzz/home_screen_fixture.h"

#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <cstdlib>

#include "common/names.h"
#include "hook/installation.h"
#include "hook/process_state.h"
#include "platform/apps/default_apps.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"

namespace fuzzing {
namespace fs = std::filesystem;
using platform::plist::Value;

namespace {

constexpr const char* kBook =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Roe;Jane;;;\r\nFN:Jane Roe\r\nUID:A1B2C3D4-0001\r\nTEL:+1 555 0101\r\n"
    "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nN:Roe;John;;;\r\nFN:John Roe\r\nUID:A1B2C3D4-0002\r\n"
    "TEL:+1 555 0102\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nN:Evil;Mallory;;;\r\nFN:Mallory Evil\r\n"
    "UID:A1B2C3D4-0003\r\nTEL:+1 555 0103\r\nX-SOCIALPROFILE;type=whatsapp;x-user=mal.e:x-apple:mal.e\r\n"
    "END:VCARD\r\n";

// Diagnostic lines of a million inputs are of no use; a crash report is.
void quiet(std::string_view, void*) {}

}  // namespace

std::string defaultSettingsXml() {
  auto d = Value::dict();
  d.set("isTweakEnabled", Value::boolean(true));
  d.set("methodspecifier", Value::integer(0));
  d.set("ignoretime", Value::boolean(true));
  d.set("sound", Value::string("1005"));
  for (const char* key : {kJaneKey, kMalloryKey}) {
    auto entry = Value::dict();
    entry.set("isBlocked", Value::boolean(true));
    entry.set("com.apple.mobilephoneCall", Value::boolean(true));
    entry.set("com.apple.facetimeCall", Value::boolean(true));
    entry.set("net.whatsapp.WhatsApp", Value::boolean(true));
    entry.set("net.whatsapp.WhatsAppCall", Value::boolean(true));
    d.set(key, std::move(entry));
  }
  return platform::plist::toXml(d.ref());
}

HomeScreen& HomeScreen::get() {
  static HomeScreen* screen = new HomeScreen();
  if (++screen->uses_ % 1000 == 0) screen->boot();
  return *screen;
}

HomeScreen::HomeScreen() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char arg0[] = "fuzz";
  static char* argv[] = {arg0, nullptr};
  new QApplication(argc, argv);
  platform::setLogSink(&quiet, nullptr);

  // Every input rewrites files with a flush to disk; in memory that is cheap.
  std::error_code ec;
  fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
  root_ = base / ("calmora-fuzz-" + std::to_string(::getpid()));
  fs::remove_all(root_);
  static fs::path folder = root_;
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  });
  fs::create_directories(root_ / "var/mobile/Library/Preferences");
  platform::apps::installDefaultApps(root_);
  platform::writeDeviceDescription(root_, platform::DeviceDescription{});
  platform::setDeviceRoot(root_);
  platform::clock::setTimeZoneForTesting("Europe/Berlin");
  nowMs_ = QDateTime(QDate(2026, 12, 7), QTime(10, 30), platform::clock::timeZone()).toMSecsSinceEpoch();
  platform::clock::setNowForTesting(nowMs_);
  writeFile(platform::contacts::kAddressBookPath, kBook);
  boot();
}

void HomeScreen::boot() {
  board_.reset();
  calmora::resetProcessStateForTesting();
  center_ = std::make_shared<platform::InProcessCenter>();
  platform::setDefaultCenter(center_);
  for (auto name : calmora::names::signal::kCatalogue)
    center_->addObserver(name, [this](const platform::Notification& n) { posted_.push_back(n); });
  platform::contacts::setSharedStore(nullptr);
  writeFile(calmora::names::kSettingsPath, defaultSettingsXml());
  board_ = std::make_unique<platform::springboard::SpringBoard>(root_);
  board_->start([] {
    calmora::loadTimeStep1();
    calmora::loadTimeStep2();
  });
  takePosted();
}

void HomeScreen::writeFile(std::string_view phonePath, std::string_view bytes) {
  auto path = platform::devicePath(phonePath);
  fs::create_directories(path.parent_path());
  platform::plist::writeBytesAtomically(path, bytes);
}

void HomeScreen::removeFile(std::string_view phonePath) {
  std::error_code ec;
  fs::remove(platform::devicePath(phonePath), ec);
}

std::vector<platform::Notification> HomeScreen::takePosted() {
  center_->deliverPending();
  return std::exchange(posted_, {});
}

void HomeScreen::advanceClock(int64_t ms) {
  nowMs_ += ms;
  platform::clock::setNowForTesting(nowMs_);
}

}  // namespace fuzzing
