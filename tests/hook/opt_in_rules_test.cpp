// The opt-in rules ("overnightWindows", "blockUnknown", "repeatCallers") and
// the emergency bypass, one table of decisions each, on a home screen in
// the test process. With the keys absent every decision is the documented
// one, which the other hook tests hold.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "common/names.h"
#include "hook/contact_key_index.h"
#include "hook/process_state.h"
#include "hook/recent_callers.h"
#include "hook/rules.h"
#include "hook/sender_matching.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/clock.h"
#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

using platform::springboard::CallDescription;

constexpr const char* kJaneKey = "A1B2C3D4-0001";
constexpr const char* kJohnKey = "A1B2C3D4-0002";
constexpr const char* kPhoneSwitch = "com.apple.mobilephoneCall";

class OptInRules : public HookDevice {
 protected:
  // Jane and John are in the address book; Jane's entry blocks her calls.
  Value settings(int mode, bool ignoreTime) {
    writeFile(std::string(platform::contacts::kAddressBookPath),
              vcards({{kJaneKey, "Jane", "Roe", {"+1 555 0101"}}, {kJohnKey, "John", "Doe", {"+1 555 0102"}}}));
    return settingsFile(mode, ignoreTime, {{kJaneKey, Entry().blocked().on(kPhoneSwitch)}});
  }
  void bootWith(int mode, bool ignoreTime, std::vector<std::pair<std::string_view, bool>> optIns) {
    auto s = settings(mode, ignoreTime);
    for (auto [key, on] : optIns) s.set(key, Value::boolean(on));
    boot(s);
  }
  static CallDescription call(platform::Text name, platform::Text contactKey = std::nullopt) {
    CallDescription c;
    c.displayName = std::move(name);
    if (contactKey) c.contactIdentifier = *contactKey + ":ABPerson";
    return c;
  }
  std::vector<LogRecord> records() { return readLog(names::kBlockedCallsPath); }
};

// Monday 2026-12-07 is weekday 2; Tuesday weekday 3 is off.
class OvernightWindows : public HookDevice {
 protected:
  static constexpr const char* kKey = "6F1C2B7A-3D4E";
  void writeWindows(std::vector<std::pair<int, const char*>> days) {
    auto e = Value::dict();
    for (auto [day, window] : days) {
      e.set("weekday" + std::to_string(day), Value::boolean(true));
      e.set("weekdayHour" + std::to_string(day), Value::string(window));
    }
    auto d = Value::dict();
    d.set(kKey, std::move(e));
    writeSettings(d);
  }
  bool inForce(WindowRule rule) {
    Loaded loaded;
    loaded.snapshot.overnightWindows = rule == WindowRule::AcrossMidnight;
    Reason reason;
    return isTimeNow(settingsNow()->dict.ref(), kKey, loaded.inputs(), reason);
  }
};

TEST_F(OvernightWindows, AWindowEndingBeforeItStartsRunsIntoTheNextDayOnlyWithTheSwitchOn) {
  writeWindows({{2, "22:00-07:00"}});
  struct Row {
    int day, hour, minute;
    bool on, off;  // in force with the switch on, and off (as documented)
  } rows[] = {
      {7, 21, 59, false, false},  // Monday before the start
      {7, 22, 0, false, false},   // the start minute itself, as for any window
      {7, 23, 30, true, false},   {8, 0, 0, true, false}, {8, 6, 59, true, false},
      {8, 7, 0, false, false},    // Tuesday at the end: handed on
      {8, 23, 30, false, false},  // Tuesday's own evening: Tuesday is off
      {7, 3, 0, false, false},    // Monday morning: Sunday has no window
  };
  for (const auto& r : rows) {
    SCOPED_TRACE("December " + std::to_string(r.day) + " " + std::to_string(r.hour) + ":" + std::to_string(r.minute));
    setNow(localMs(2026, 12, r.day, r.hour, r.minute));
    EXPECT_EQ(inForce(WindowRule::AcrossMidnight), r.on);
    EXPECT_EQ(inForce(WindowRule::SameDay), r.off);
  }
  // Saturday into Sunday wraps the week; a window of no length never applies;
  // a same-day window is read as before.
  writeWindows({{7, "23:00-01:00"}, {1, "09:00-09:00"}, {2, "08:00-17:00"}});
  for (auto [day, hour, expected] : {std::tuple{13, 0, true}, {13, 9, false}, {14, 12, true}, {14, 18, false}}) {
    setNow(localMs(2026, 12, day, hour, 30));
    EXPECT_EQ(inForce(WindowRule::AcrossMidnight), expected) << day << " " << hour;
  }
}

TEST_F(OvernightWindows, ANightAcrossADaylightSavingChangeIsWallClockTime) {
  // Europe/Berlin: 2026-03-29 (a Sunday) skips 02:00-03:00; 2026-10-25
  // repeats 02:00-03:00. Saturday (weekday 7) 22:00-07:00.
  writeWindows({{7, "22:00-07:00"}});
  const int64_t skipped = localMs(2026, 3, 29, 1, 59) + 60 * 1000;  // one minute later it is 03:00
  EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(skipped, platform::clock::timeZone()).time(), QTime(3, 0));
  for (int64_t at : {localMs(2026, 3, 28, 23, 0), localMs(2026, 3, 29, 1, 59), skipped, localMs(2026, 3, 29, 6, 59),
                     localMs(2026, 10, 25, 2, 30), localMs(2026, 10, 25, 2, 30) + 3600 * 1000}) {
    setNow(at);
    EXPECT_TRUE(inForce(WindowRule::AcrossMidnight)) << at;
  }
  setNow(localMs(2026, 3, 29, 7, 0));
  EXPECT_FALSE(inForce(WindowRule::AcrossMidnight));
}

TEST_F(OptInRules, UnknownCallersAreEndedAndLoggedInBothModesOnlyWithTheSwitchOn) {
  struct Row {
    const char* what;
    int mode;
    bool blockUnknown;
    platform::Text name, contact;
    bool handedOn;
  } rows[] = {
      {"a number, blocklist", 0, true, "+1 555 0100", {}, false},
      {"a number, whitelist", 1, true, "+1 555 0100", {}, false},
      {"an identifier the book does not know", 0, true, "Ghost", "FFFF-0009", false},
      {"a contact without an entry", 0, true, "John Doe", kJohnKey, true},
      {"switch off, blocklist", 0, false, "+1 555 0100", {}, true},
      {"switch off, whitelist (as documented)", 1, false, "+1 555 0100", {}, true},
      {"a caller text of 10,000 characters", 0, true, std::string(10000, '7'), {}, false},
      {"an empty caller text", 0, true, std::string(), {}, false},
      {"control characters", 0, true, std::string("+1\n555\t\x01\x7f"), {}, false},
      {"no caller text at all", 1, true, {}, {}, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    bootWith(r.mode, false, {{names::settings::kBlockUnknown, r.blockUnknown}});
    const size_t before = records().size();
    setNow(localMs(2026, 12, 7, 10, 30) + static_cast<int64_t>(before) * 5000);
    EXPECT_EQ(board().deliverCallEvent(call(r.name, r.contact)), r.handedOn);
    auto log = records();
    ASSERT_EQ(log.size(), before + (r.handedOn ? 0 : 1));
    if (!r.handedOn) {
      EXPECT_EQ(log.back()["From"], r.name.value_or(""));
    }
  }
}

TEST_F(OptInRules, ACallsNumberIsMatchedToTheContactHoldingItBeforeTheRulesSeeIt) {
  bootWith(0, true, {{names::settings::kBlockUnknown, true}});
  struct Row {
    const char* number;
    bool handedOn;
    const char* from;  // in the record of a blocked call
  } rows[] = {
      {"(555) 0101", false, "Jane Roe"},  // Jane's, blocked as Jane
      {"+15550101", false, "Jane Roe"},
      {"555.0102", true, nullptr},         // John's: known, not blocked
      {"+1 555 0199", false, "+1 555 0199"},  // nobody's: an unknown caller
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.number);
    const size_t before = records().size();
    setNow(localMs(2026, 12, 7, 10, 30) + static_cast<int64_t>(before) * 5000);
    CallDescription c;
    c.number = r.number;
    EXPECT_EQ(board().deliverCallEvent(c), r.handedOn);
    auto log = records();
    ASSERT_EQ(log.size(), before + (r.handedOn ? 0 : 1));
    if (!r.handedOn) {
      EXPECT_EQ(log.back()["From"], r.from);
    }
  }
}

TEST_F(OptInRules, EmergencyNumbersAreNeverBlockedNorLoggedWhateverTheSettingsSay) {
  for (int mode : {0, 1}) {
    bootWith(mode, true, {{names::settings::kBlockUnknown, true}});
    setNow(localMs(2026, 12, 7, 10, 30) + mode * 5000);
    for (std::string_view number : kEmergencyNumbers) {
      EXPECT_TRUE(board().deliverCallEvent(call(std::string(number)))) << number;
      EXPECT_TRUE(board().deliverCallUpdate(call(" " + std::string(number) + " ", kJaneKey))) << number;
    }
    // Read as a phone reads them: a country code, full-width digits.
    for (std::string number : {"+1 911", "\xef\xbc\x99\xef\xbc\x91\xef\xbc\x91", "(911)"})
      EXPECT_TRUE(board().deliverCallEvent(call(number))) << number;
    EXPECT_FALSE(board().deliverCallEvent(call("1120"))) << "not an emergency number";
  }
  EXPECT_EQ(records().size(), 2u);
}

TEST_F(OptInRules, ARepeatCallWithinTheWindowIsHandedOnWhileOneCallSeenTwiceIsStillOne) {
  bootWith(0, true, {{names::settings::kRepeatCallers, true}, {names::settings::kBlockUnknown, true}});
  const int64_t t = localMs(2026, 12, 7, 10, 30);
  struct Row {
    int64_t atMs;
    const char* name;
    platform::Text contact;
    bool update, handedOn;
  } rows[] = {
      {0, "+1 555 0100", {}, false, false},    // blocked and logged
      {400, "+1 555 0100", {}, true, false},   // its update: the same call, ended, not logged
      {60000, "+1 555 0100", {}, false, true},  // a second call: handed on, not logged
      {60400, "+1 555 0100", {}, true, true},
      {61000, "Jane Roe", kJaneKey, false, false},  // another caller, by contact
      {90000, "Jane Roe", kJaneKey, false, true},
      {91500, "+1 555 0199", {}, false, false},
      {400 + RecentCallers::kWindowMs + 1, "+1 555 0100", {}, false, false},  // forgotten: blocked again
  };
  for (const auto& r : rows) {
    setNow(t + r.atMs);
    auto c = call(std::string(r.name), r.contact);
    EXPECT_EQ(r.update ? board().deliverCallUpdate(c) : board().deliverCallEvent(c), r.handedOn) << r.atMs;
  }
  EXPECT_EQ(records().size(), 4u);

  // The memory is bounded: the oldest caller goes first.
  bootWith(0, true, {{names::settings::kRepeatCallers, true}, {names::settings::kBlockUnknown, true}});
  for (size_t i = 0; i <= RecentCallers::kCapacity; ++i) {
    setNow(t + static_cast<int64_t>(i) * 2000);
    EXPECT_FALSE(board().deliverCallEvent(call("+1 555 " + std::to_string(1000 + i))));
  }
  setNow(t + 130000);
  EXPECT_FALSE(board().deliverCallEvent(call("+1 555 1000"))) << "the first caller was forgotten";
  EXPECT_TRUE(board().deliverCallEvent(call("+1 555 1064"))) << "the last one is remembered";

  // Off: a second call is blocked (and, a second later, logged) as documented.
  bootWith(0, true, {});
  setNow(t);
  EXPECT_FALSE(board().deliverCallEvent(call("Jane Roe", kJaneKey)));
  setNow(t + 60000);
  EXPECT_FALSE(board().deliverCallEvent(call("Jane Roe", kJaneKey)));
}

TEST_F(OptInRules, ANonBooleanSwitchReadsAsFalseWithALineAndNoOptInKeyIsAContactKey) {
  Value values[] = {Value::integer(1), Value::string("YES"), Value::dict()};
  for (const auto& value : values) {
    LogCapture capture;
    auto s = settings(0, false);
    for (auto key : {names::settings::kBlockUnknown, names::settings::kRepeatCallers,
                     names::settings::kOvernightWindows})
      s.set(key, value.ref().copy());
    boot(s);
    EXPECT_TRUE(board().deliverCallEvent(call("+1 555 0100")));
    EXPECT_TRUE(capture.hasPrefix("CalmoraDebug: blockUnknown is not a boolean, read as false: "));
    EXPECT_FALSE(decisionState().snapshot.repeatCallers || decisionState().snapshot.overnightWindows);
  }
  // A contact whose identifier a new key holds: in whitelist mode a key
  // found would block the caller, so none must be found.
  auto s = settingsFile(1, true, {});
  s.set(names::settings::kBlockUnknown, Value::boolean(false));
  auto entry = Entry().blocked().on(kPhoneSwitch);
  s.set(names::settings::kRepeatCallers, std::move(entry.value));
  boot(s);
  const ContactKeyIndex keys(settingsNow());
  EXPECT_EQ(keys.find(std::string("Unknown")), std::nullopt);
  EXPECT_EQ(keys.find(std::string("repeat")), std::nullopt);
  EXPECT_EQ(keys.find(std::string("sound")), std::optional<std::string>("sound"));
  EXPECT_TRUE(board().deliverCallEvent(call("Someone", "Unknown")));
}

// The sender tests of bulletins and calls walk the same keys: an entry under
// an opt-in key names nobody, while under another key it names whoever its
// key holds.
TEST_F(OptInRules, NoOptInKeyNamesAContactForTheSenderTests) {
  auto contacts = std::make_shared<ContactIndex::ContactList>();
  contacts->push_back(std::make_shared<const platform::contacts::Contact>(
      platform::contacts::Contact{"repeat:ABPerson", "Rita", "Peat", {"+1 555 0103"}, {{"Signal", "rita"}}}));
  const std::string signalApp = "org.whispersystems.signal";
  Loaded loaded;  // blocklist mode
  for (auto [key, listed] : {std::pair{names::settings::kRepeatCallers, false}, {std::string_view("repeat"), true}}) {
    SCOPED_TRACE(std::string(key));
    auto s = settingsFile(0, true, {});
    s.set(key, std::move(Entry().blocked().on(signalApp).value));
    const ContactIndex index(settingsContentOf(std::move(s)), contacts);
    Reason reason;
    EXPECT_EQ(index.isNameBlocked(loaded.inputs(), std::string("Rita Peat"), signalApp, reason), listed);
    EXPECT_EQ(index.isSocialBlocked(loaded.inputs(), std::string("rita"), std::string("signalApp"), signalApp, reason),
              listed);
  }
}

}  // namespace
}  // namespace calmora::testing
