// The bulletin replacement on a home screen in the test process: what is
// suppressed and what is handed on. What a suppression leaves behind, the
// schedules, the age limit, WhatsApp's subtitle and empty texts are held
// against the documented walk by the generated events of
// sender_matching_test.cpp.
#include <gtest/gtest.h>

#include "common/names.h"
#include "platform/contacts/contact_store.h"
#include "tests/hook/device_support.h"
#include "tests/hook/interception_support.h"

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

  // A bulletin `age` seconds old.
  BulletinDescription bulletin(std::string section, std::string title, std::string subtitle = "",
                               std::string message = "hello", double age = 0) {
    BulletinDescription b;
    b.section = std::move(section);
    b.title = std::move(title);
    b.subtitle = std::move(subtitle);
    b.message = std::move(message);
    b.date = static_cast<double>(HookDevice::localMs(2026, 12, 7, 10, 30)) / 1000.0 - age;
    return b;
  }

  bool deliver(const BulletinDescription& b) { return board().deliverBulletin(b); }
  std::vector<LogRecord> records() { return readLog(names::kBlockedNotifPath); }
};

TEST_F(Bulletins, AnUnlistedSenderOrAListedOneWhoseSwitchForTheAppIsOffIsHandedOnUnchanged) {
  bootWith(0, true, {{kJohnKey, Entry().blocked().on(kMessages).on(kWhatsApp, false)}});
  EXPECT_TRUE(deliver(bulletin(kMessages, "Anne Berg", "Sub", "msg")));
  EXPECT_TRUE(deliver(bulletin(kWhatsApp, "John Smith")));
  EXPECT_TRUE(deliver(bulletin(kSignal, "John Smith")));
  auto rec = board().record().snapshot();
  ASSERT_EQ(rec.published.size(), 3u);
  EXPECT_EQ(rec.published[0].section, kMessages);
  EXPECT_EQ(rec.published[0].title, "Anne Berg");
  EXPECT_EQ(rec.published[0].subtitle, "Sub");
  EXPECT_EQ(rec.published[0].message, "msg");
  EXPECT_TRUE(rec.sounds.empty());
  EXPECT_TRUE(records().empty());
  EXPECT_TRUE(interceptionSignals(takePosted()).empty());
}

TEST_F(Bulletins, PhoneAndDoNotDisturbSectionsAndTheirPartsAreNeverSuppressed) {
  const char* sections[] = {"com.apple.mobilephone", "COM.APPLE.DONOTDISTURB", "com.apple", "apple.mobilephone",
                            "com.apple.mobilephone.extra"};
  Entry e = Entry().blocked();
  for (const char* s : sections) e.on(s);
  bootWith(0, true, {{kJohnKey, std::move(e)}});
  for (const char* s : sections) {
    SCOPED_TRACE(s);
    EXPECT_TRUE(deliver(bulletin(s, "John Smith")));
  }
  EXPECT_TRUE(records().empty());
}

TEST_F(Bulletins, AnAppWithoutADisplayNameIsNamedByItsBundleIdentifierInTheText) {
  const std::string unnamed = "org.example.unnamed";  // not installed: no display name
  bootWith(0, true, {{kJohnKey, Entry().blocked().on(unnamed)}});
  EXPECT_FALSE(deliver(bulletin(unnamed, "John Smith")));
  auto log = records();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["Data"], "org.example.unnamed notification from John Smith");
  EXPECT_EQ(log[0]["appName"], "");
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

TEST_F(Bulletins, WithoutContactKeysEverythingIsHandedOn) {
  auto d = settingsFile(1, true, {});
  d.set("nodashkey", std::move(Entry().blocked().on(kSignal).value));
  boot(d);
  EXPECT_TRUE(deliver(bulletin(kSignal, "Someone")));  // whitelist, messaging app, yet no "-" key
  writeSettings(settingsFile(1, true, {{"x-y", Entry()}}));
  EXPECT_FALSE(deliver(bulletin(kSignal, "Someone")));
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
