// The bulletin replacement on a home screen in the test process: what is
// handed on, the whitelist mode's departure, changed files. What a
// suppression leaves behind, the schedules, the age limit, the phone and
// do-not-disturb sections, apps without a display name, settings without
// contact keys, WhatsApp's subtitle and empty texts are held against the
// documented walk by the generated events of sender_matching_test.cpp.
#include <gtest/gtest.h>

#include "common/names.h"
#include "platform/contacts/contact_store.h"
#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

using platform::springboard::BulletinDescription;

constexpr const char* kJohnKey = "A1B2C3D4-0001";
constexpr const char* kSignal = "org.whispersystems.signal";
constexpr const char* kMessages = "com.apple.MobileSMS";
constexpr const char* kWhatsApp = "net.whatsapp.WhatsApp";
constexpr const char* kMail = "com.apple.mobilemail";

class Bulletins : public HookDevice {
 protected:
  void SetUp() override {
    HookDevice::SetUp();
    writeFile(std::string(platform::contacts::kAddressBookPath),
              vcards({{std::string(kJohnKey), "John", "Smith", {"+49 30 1234"}, {{"Signal", "smithy"}}},
                      {"B0000000-0002", "Anne", "Berg", {"+49 30 5678"}, {}},
                      {"C0000000-0003", "Zoe", "Quinn", {}, {{"WhatsApp", "zq"}}}}));
  }
  void bootWith(int mode, bool ignoreTime, std::vector<std::pair<std::string, Entry>> entries) {
    boot(settingsFile(mode, ignoreTime, std::move(entries)));
    takePosted();  // the home screen's own start-up signals
  }

  static BulletinDescription bulletin(std::string section, std::string title, std::string subtitle = "") {
    return {std::move(section), std::move(title), std::move(subtitle), "hello",
            static_cast<double>(HookDevice::localMs(2026, 12, 7, 10, 30)) / 1000.0};
  }
  bool deliver(const BulletinDescription& b) { return board().deliverBulletin(b); }
};

TEST_F(Bulletins, AnUnlistedSenderOrAListedOneWhoseSwitchForTheAppIsOffIsHandedOnUnchanged) {
  bootWith(0, true, {{kJohnKey, Entry().blocked().on(kMessages).on(kWhatsApp, false)}});
  EXPECT_TRUE(deliver(bulletin(kMessages, "Anne Berg", "Sub")));
  EXPECT_TRUE(deliver(bulletin(kWhatsApp, "John Smith")));
  EXPECT_TRUE(deliver(bulletin(kSignal, "John Smith")));
  auto rec = board().record().snapshot();
  ASSERT_EQ(rec.published.size(), 3u);
  const auto& p = rec.published[0];
  EXPECT_EQ(p.section + "|" + p.title + "|" + p.subtitle + "|" + p.message, "com.apple.MobileSMS|Anne Berg|Sub|hello");
  EXPECT_TRUE(rec.sounds.empty());
  EXPECT_TRUE(readLog(names::kBlockedNotifPath).empty());
  EXPECT_TRUE(interceptionSignals(takePosted()).empty());
}

TEST_F(Bulletins, WhitelistModeBlocksStrangersOnlyInMessagingApps) {
  bootWith(1, true, {{kJohnKey, Entry().blocked().on(kSignal).on(kMail)}});
  EXPECT_FALSE(deliver(bulletin(kSignal, "Someone Else")));
  EXPECT_TRUE(deliver(bulletin(kMail, "Someone Else")));
  // A listed contact is let through whichever test finds it: by name alone,
  // by the profile whose label names the app alone, or by both.
  EXPECT_TRUE(deliver(bulletin(kSignal, "John Smith")));
  EXPECT_TRUE(deliver(bulletin(kSignal, "smithy")));
  EXPECT_TRUE(deliver(bulletin(kSignal, "Smith")));
  EXPECT_TRUE(deliver(bulletin(kMail, "John Smith")));
}

TEST_F(Bulletins, ChangesToTheSettingsAndTheAddressBookCountFromTheNextBulletin) {
  bootWith(0, true, {{kJohnKey, Entry().blocked().on(kSignal)}});
  EXPECT_FALSE(deliver(bulletin(kSignal, "John Smith")));
  writeSettings(settingsFile(0, true, {{kJohnKey, Entry().blocked(false).on(kSignal)}}));
  EXPECT_TRUE(deliver(bulletin(kSignal, "John Smith")));
  writeSettings(settingsFile(0, true, {{kJohnKey, Entry().blocked().on(kSignal)}}));
  EXPECT_FALSE(deliver(bulletin(kSignal, "John Smith")));
  // The contact renamed in the address book: the old name finds nobody.
  writeFile(std::string(platform::contacts::kAddressBookPath),
            vcards({{std::string(kJohnKey), "Jonathan", "Smythe", {"+49 30 1234"}, {}}}));
  EXPECT_TRUE(deliver(bulletin(kSignal, "John Smith")));
  EXPECT_FALSE(deliver(bulletin(kSignal, "Jonathan")));
}

}  // namespace
}  // namespace calmora::testing
