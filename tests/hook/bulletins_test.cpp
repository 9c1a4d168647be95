// The bulletin replacement on a home screen in the test process: what is
// suppressed, what is handed on, and what a suppression leaves behind.
#include <gtest/gtest.h>

#include "common/names.h"
#include "hook/app_identity.h"
#include "platform/contacts/contact_store.h"
#include "tests/hook/device_support.h"
#include "tests/hook/interception_support.h"

namespace calmora::testing {
namespace {

namespace sig = names::signal;
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

TEST_F(Bulletins, ABlockedSendersBulletinIsNotPublishedButSoundedRecordedAndAnnounced) {
  bootWith(0, true, {{kJohnKey, Entry().blocked().on(kMessages)}});
  EXPECT_FALSE(deliver(bulletin(kMessages, "John Smith", "", "see you at 8")));

  auto rec = board().record().snapshot();
  EXPECT_TRUE(rec.published.empty());
  EXPECT_EQ(rec.sounds, std::vector<uint32_t>{1005});
  EXPECT_EQ(interceptionSignals(takePosted()),
            (std::vector<std::string>{std::string(sig::kShow), std::string(sig::kUnreadNotif),
                                      std::string(sig::kTableRefresh)}));
  auto log = records();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], (LogRecord{{"Date", "10:30:00 07-12-2026"},
                               {"isRead", "false"},
                               {"Data", "Messages notification from John Smith"},
                               {"appBID", kMessages},
                               {"iconData", appIconData(std::string(kMessages)).value_or("")},
                               {"appName", "Messages"},
                               {"msg", "see you at 8"},
                               {"From", "John Smith"}}));
  EXPECT_FALSE(log[0]["iconData"].empty());

  // The second goes under the next key; one sound per suppression.
  EXPECT_FALSE(deliver(bulletin(kMessages, "John")));
  EXPECT_EQ(records().size(), 2u);
  EXPECT_EQ(board().record().snapshot().sounds.size(), 2u);
}

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

TEST_F(Bulletins, OnlyMessagesMayBeOlderThanTwoSeconds) {
  bootWith(0, true, {{kJohnKey, Entry().blocked().on(kMessages).on(kSignal)}});
  EXPECT_FALSE(deliver(bulletin(kSignal, "John Smith", "", "m", 1.9)));
  EXPECT_TRUE(deliver(bulletin(kSignal, "John Smith", "", "m", 2.0)));
  EXPECT_TRUE(deliver(bulletin(kSignal, "John Smith", "", "m", 60)));
  EXPECT_FALSE(deliver(bulletin(kSignal, "John Smith", "", "m", -30)));  // a date ahead of the clock
  EXPECT_FALSE(deliver(bulletin(kMessages, "John Smith", "", "m", 2.0)));
  EXPECT_FALSE(deliver(bulletin(kMessages, "John Smith", "", "m", 3600)));
  EXPECT_EQ(records().size(), 4u);
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

TEST_F(Bulletins, WhatsAppIsMatchedOnItsSubtitleOtherAppsOnTheirTitle) {
  bootWith(0, true, {{kJohnKey, Entry().blocked().on(kWhatsApp).on(kSignal)}});
  EXPECT_FALSE(deliver(bulletin(kWhatsApp, "Family group", "John Smith", "dinner?")));
  EXPECT_FALSE(deliver(bulletin(kWhatsApp, "John Smith", "", "dinner?")));  // no subtitle: the title
  EXPECT_TRUE(deliver(bulletin(kSignal, "Family group", "John Smith")));    // only WhatsApp's subtitle counts
  EXPECT_FALSE(deliver(bulletin(kSignal, "John Smith", "Book club")));
  auto log = records();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0]["From"], "John Smith");
  EXPECT_EQ(log[0]["Data"], "WhatsApp notification from John Smith");
  EXPECT_EQ(log[1]["From"], "John Smith");
  // Elsewhere a subtitle, a conversation's name say, goes into "From".
  EXPECT_EQ(log[2]["From"], "Book club");
  EXPECT_EQ(log[2]["Data"], "Signal notification from Book club");
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

TEST_F(Bulletins, AnEmptyTitleAndMessageReadAsUnknown) {
  bootWith(1, true, {{kJohnKey, Entry().blocked().on(kSignal)}});
  EXPECT_FALSE(deliver(bulletin(kSignal, "", "", "")));  // whitelist: no contact called "Unknown"
  auto log = records();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["From"], "Unknown");
  EXPECT_EQ(log[0]["msg"], "Unknown");
  BulletinDescription bare;  // nothing at all, not even a date
  bare.section = kSignal;
  EXPECT_FALSE(deliver(bare));
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

TEST_F(Bulletins, TheScheduleOfAnyContactKeyDecides) {
  // 10:30 on a Monday (weekday 2).
  bootWith(0, false,
           {{kJohnKey, Entry().blocked().on(kSignal).window(2, "11:00-12:00")},
            {"B0000000-0002", Entry().window(3, "00:00-23:59")}});
  EXPECT_TRUE(deliver(bulletin(kSignal, "John Smith")));

  // Another contact's schedule in force counts too.
  writeSettings(settingsFile(0, false,
                             {{kJohnKey, Entry().blocked().on(kSignal).window(2, "11:00-12:00")},
                              {"B0000000-0002", Entry().window(2, "10:00-11:00")}}));
  EXPECT_FALSE(deliver(bulletin(kSignal, "John Smith")));

  // Within a minute of the start nothing is in force yet; a minute later it is.
  writeSettings(settingsFile(0, false, {{kJohnKey, Entry().blocked().on(kSignal).window(2, "10:30-12:00")}}));
  EXPECT_TRUE(deliver(bulletin(kSignal, "John Smith")));
  setNow(HookDevice::localMs(2026, 12, 7, 10, 31));
  auto b = bulletin(kSignal, "John Smith");
  b.date = *b.date + 60;
  EXPECT_FALSE(deliver(b));
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
