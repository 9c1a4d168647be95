#include "fuzz/home_screen_fixture.h"

#include "common/names.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"

namespace fuzzing {
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
  // Destroyed at exit, which removes the device folder. Booted once: a
  // second boot in the same process would find the library's observers of
  // the first still registered on the center.
  static HomeScreen screen;
  return screen;
}

// Every input rewrites files with a flush to disk; in memory that is cheap.
HomeScreen::HomeScreen()
    : device_(std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                         : std::filesystem::temp_directory_path()) {
  platform::setLogSink(&quiet, nullptr);
  nowMs_ = testsupport::Device::localMs(2026, 12, 7, 10, 30);
  writeFile(platform::contacts::kAddressBookPath, kBook);
  boot();
}

void HomeScreen::boot() {
  platform::contacts::setSharedStore(nullptr);
  writeFile(calmora::names::kSettingsPath, defaultSettingsXml());
  device_.boot();
  takePosted();
}

void HomeScreen::removeFile(std::string_view phonePath) {
  std::error_code ec;
  std::filesystem::remove(platform::devicePath(phonePath), ec);
}

void HomeScreen::advanceClock(int64_t ms) {
  nowMs_ += ms;
  testsupport::Device::setNow(nowMs_);
}

}  // namespace fuzzing
