// The fuzzers' home screen: the tests' device (tests/support/device.h) with
// an address book of Jane Roe, John Roe and Mallory Evil (who has a social
// profile), booted once with the library switched on and kept, since building
// one costs far more than an input.
#pragma once

#include <cstdint>
#include <string>

#include "common/names.h"
#include "fuzz/fuzz_check.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "tests/support/device.h"

namespace fuzzing {

class HomeScreen : public testsupport::Device {
 public:
  static HomeScreen& get();
  void removeLogs();
  // Moves the pinned clock on, so that each blocked call is more than a
  // second after the one before.
  void advanceClock(int64_t ms);

 private:
  HomeScreen();
  int64_t nowMs_ = 0;
};

namespace detail {

inline constexpr const char* kBook =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Roe;Jane;;;\r\nFN:Jane Roe\r\nUID:A1B2C3D4-0001\r\nTEL:+1 555 0101\r\n"
    "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nN:Roe;John;;;\r\nFN:John Roe\r\nUID:A1B2C3D4-0002\r\n"
    "TEL:+1 555 0102\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nN:Evil;Mallory;;;\r\nFN:Mallory Evil\r\n"
    "UID:A1B2C3D4-0003\r\nTEL:+1 555 0103\r\nX-SOCIALPROFILE;type=whatsapp;x-user=mal.e:x-apple:mal.e\r\n"
    "END:VCARD\r\n";

// Diagnostic lines of a million inputs are of no use; a crash report is.
inline void quiet(std::string_view, void*) {}

// Every input rewrites files with a flush to disk; in memory that is cheap.
inline std::filesystem::path memoryBacked() {
  return std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
}

}  // namespace detail

// The settings the home screen boots with, as XML: blocklist mode, schedules
// ignored, Jane Roe and Mallory Evil blocked in every app.
inline std::string defaultSettingsXml() {
  const std::string blocked =
      "<dict><key>isBlocked</key><true/><key>com.apple.mobilephoneCall</key><true/><key>com.apple.facetimeCall</key>"
      "<true/><key>net.whatsapp.WhatsApp</key><true/><key>net.whatsapp.WhatsAppCall</key><true/></dict>";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>isTweakEnabled</key><true/>"
         "<key>methodspecifier</key><integer>0</integer><key>ignoretime</key><true/><key>sound</key><string>1005"
         "</string><key>A1B2C3D4-0001</key>" + blocked + "<key>A1B2C3D4-0003</key>" + blocked + "</dict></plist>";
}

inline HomeScreen& HomeScreen::get() {
  // Destroyed at exit, which removes the device folder. Booted once: a
  // second boot in the same process would find the library's observers of
  // the first still registered on the center.
  static HomeScreen screen;
  return screen;
}

inline HomeScreen::HomeScreen() : Device(detail::memoryBacked()) {
  platform::setLogSink(&detail::quiet, nullptr);
  nowMs_ = localMs(2026, 12, 7, 10, 30);
  FUZZ_CHECK(writeFile(platform::contacts::kAddressBookPath, detail::kBook));
  FUZZ_CHECK(writeFile(calmora::names::kSettingsPath, defaultSettingsXml()));
  boot();
  takePosted();
}

inline void HomeScreen::removeLogs() {
  std::error_code ec;
  std::filesystem::remove(platform::devicePath(calmora::names::kBlockedCallsPath), ec);
  std::filesystem::remove(platform::devicePath(calmora::names::kBlockedNotifPath), ec);
}

inline void HomeScreen::advanceClock(int64_t ms) { setNow(nowMs_ += ms); }

}  // namespace fuzzing
