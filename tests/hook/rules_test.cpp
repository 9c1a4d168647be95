#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "hook/contact_key_index.h"
#include "hook/rules.h"
#include "hook/sender_matching.h"
#include "platform/foundation/clock.h"
#include "tests/hook/device_support.h"

namespace calmora {
namespace {

using platform::Text;
using platform::plist::Value;

TEST(ContainsEither, EitherTextMayHoldTheOtherIgnoringCaseInUnicodeAndMissingTextsHaveStandIns) {
  struct Case {
    Text a, b;
    bool holds;
  } cases[] = {
      {"6F1C-ABPerson-XY", "6f1c", true}, {"6f1c", "XX6F1CXX", true}, {"ÄRGER-Ölung", "ärger-öl", true},
      {"Иван Петров", "иван", true},      {"Same", "same", true},     {"abc", "abd", false},
      // An absent or empty first text stands in as "imnull", a second as
      // "imalsonull", so two of them never hold each other.
      {{}, {}, false},                    {"", "", false},            {{}, "IMNULL", true},
      {"null", {}, true},                 {"xximalsonullxx", "", true}, {"ABC-123", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a.value_or("(absent)") + " / " + c.b.value_or("(absent)"));
    EXPECT_EQ(containsEither(c.a, c.b), c.holds);
    EXPECT_EQ(containsEither(c.a ? c.a->c_str() : nullptr, c.b ? c.b->c_str() : nullptr), c.holds);
  }
}

class Rules : public testing::HookDevice {
 protected:
  static constexpr const char* kKey = "6F1C2B7A-3D4E";
  static constexpr const char* kPhone = "com.apple.mobilephone";

  // Monday is weekday 2 of the Gregorian calendar.
  void writeContact(Value entry) {
    auto d = Value::dict();
    d.set("isTweakEnabled", Value::boolean(true));
    d.set(kKey, std::move(entry));
    writeSettings(d);
  }
  static Value entry(bool blocked, bool phoneSwitch, const char* mondayWindow) {
    auto e = Value::dict();
    e.set("isBlocked", Value::boolean(blocked));
    e.set(std::string(kPhone) + "Call", Value::boolean(phoneSwitch));
    e.set("weekday2", Value::boolean(true));
    if (mondayWindow) e.set("weekdayHour2", Value::string(mondayWindow));
    return e;
  }
  void at(int hour, int minute, int second = 0) { setNow(localMs(2026, 12, 7, hour, minute, second)); }
  void mode(int methodspecifier, bool ignoretime) {
    loaded.snapshot.methodspecifier = methodspecifier;
    loaded.snapshot.ignoretime = ignoretime;
  }
  bool timeNow(std::string_view key) {
    return isTimeNow(testing::settingsNow()->dict.ref(), key, loaded.inputs(), reason);
  }
  bool check(const Text& identifier, const Text& app) {
    return checkContact(ContactKeyIndex(testing::settingsNow()), loaded.inputs(), identifier, app, reason);
  }
  // The lines given since the last call.
  Reason takeReason() { return std::exchange(reason, {}); }

  testing::Loaded loaded;
  Reason reason;
};

TEST_F(Rules, AWindowIsInForceOnlyStrictlyInsideItsMinutesAndAnyOtherTakesTheTimeNotNowPath) {
  auto expect = [&](const char* window, int h, int m, int s, bool inForce) {
    SCOPED_TRACE(std::string(window ? window : "(none)") + " at " + std::to_string(h) + ":" + std::to_string(m) +
                 ":" + std::to_string(s));
    writeContact(entry(true, true, window));
    at(h, m, s);
    mode(0, false);
    EXPECT_EQ(timeNow(kKey), inForce);
    mode(0, true);  // ignoring the time, every one is in force
    EXPECT_TRUE(timeNow(kKey));
  };
  for (auto [h, m, s, inForce] : {std::tuple{7, 59, 0, false}, {8, 0, 59, false}, {8, 1, 0, true}, {12, 0, 0, true},
                                  {16, 59, 59, true}, {17, 0, 0, false}})
    expect("08:00-17:00", h, m, s, inForce);
  expect("8:05-17:00-20:00", 8, 6, 0, true);  // one hour digit, a third piece
  // A window across midnight and malformed ones are never in force.
  for (const char* window : {"22:00-06:00", static_cast<const char*>(nullptr), "", "0800-1700", "08:00", "08:00-", "-17:00",
                             "8am-5pm", "08:00-24:00", "08:60-17:00", " 08:00-17:00", "08:00 - 17:00",
                             "08:000-17:00", "ab:cd-ef:gh"})
    for (int h : {3, 10, 23}) expect(window, h, 30, 0, false);
  auto e = entry(true, true, nullptr);
  e.set("weekdayHour2", Value::dict());  // not text
  writeContact(std::move(e));
  mode(0, false);
  EXPECT_FALSE(timeNow(kKey));
}

TEST_F(Rules, TheWeekdayIsTheGregorianOneOfTheDeviceTimeZone) {
  auto e = Value::dict();
  e.set("weekday1", Value::boolean(true));  // Sunday
  e.set("weekdayHour1", Value::string("00:00-23:59"));
  e.set("weekday2", Value::boolean(false));
  e.set("weekdayHour2", Value::string("00:00-23:59"));
  writeContact(std::move(e));
  mode(0, false);
  // 2026-12-06 23:30 UTC: still Sunday in London, already Monday in Berlin.
  const int64_t instant = localMs(2026, 12, 7, 0, 30);
  setNow(instant);
  EXPECT_FALSE(timeNow(kKey));
  platform::clock::setTimeZoneForTesting("Europe/London");
  EXPECT_TRUE(timeNow(kKey));
  // Another day's switch does not count today, and an unknown key has none.
  setNow(localMs(2026, 12, 8, 12, 0));  // Tuesday
  EXPECT_FALSE(timeNow(kKey));
  EXPECT_FALSE(timeNow("no-such-contact"));
}

// The three columns of the decision table, for a contact found and
// qualifying, found and not qualifying, and not found. The windows' edges are
// the table above's.
TEST_F(Rules, TheDecisionTableHoldsInEveryModeWithAndWithoutIgnoretime) {
  struct Situation {
    const char* name;
    bool blocked, appSwitch;
    const char* window;
    int h, m;
    bool qualifies, qualifiesIgnoringTime;
  } situations[] = {
      {"inside its window", true, true, "08:00-17:00", 10, 0, true, true},
      {"at its end", true, true, "08:00-17:00", 17, 0, false, true},
      {"malformed window", true, true, "08:00", 10, 0, false, true},
      {"not blocked", false, true, "08:00-17:00", 10, 0, false, false},
      {"app switch off", true, false, "08:00-17:00", 10, 0, false, false},
  };
  for (const auto& s : situations) {
    writeContact(entry(s.blocked, s.appSwitch, s.window));
    at(s.h, s.m);
    for (bool ignoretime : {false, true}) {
      bool qualifies = ignoretime ? s.qualifiesIgnoringTime : s.qualifies;
      for (int m : {0, 1, 2}) {
        SCOPED_TRACE(std::string(s.name) + " mode " + std::to_string(m) + (ignoretime ? " ignoretime" : ""));
        mode(m, ignoretime);
        EXPECT_EQ(check(Text(kKey), Text(kPhone)), m == 0 ? qualifies : m == 1 && !qualifies);
        // No key holds or is held by this identifier.
        EXPECT_FALSE(check(Text("0000-9999"), Text(kPhone)));
      }
    }
  }
}

TEST_F(Rules, CheckContactGivesALineForTheKeyTriedAndTheBranchTaken) {
  auto d = Value::dict();
  d.set(kKey, entry(true, true, "08:00-17:00"));
  writeSettings(d);
  at(10, 0);
  mode(0, false);
  takeReason();
  EXPECT_TRUE(check(Text(kKey), Text(kPhone)));
  EXPECT_EQ(takeReason(), (Reason{
                            "CalmoraDebug [checkContact] appBID:-com.apple.mobilephoneCall key:-6F1C2B7A-3D4E, "
                            "contactIdentifier:-6F1C2B7A-3D4E, methodspecifier:-0",
                            "CalmoraDebug [checkContact] 191",
                            "CalmoraDebug: Time is now",
                            "CalmoraDebug [checkContact][isBlocked] methodspecifier:-0",
                            "CalmoraDebug [blocklist] checkContact contact isBlocked YES",
                        }));
  mode(1, false);
  EXPECT_FALSE(check(Text(kKey), Text(kPhone)));
  EXPECT_EQ(takeReason().back(), "CalmoraDebug [whitelist] checkContact contact isBlocked YES");
  // The schedule is asked only when both switches are on.
  d.set(kKey, entry(false, true, "08:00-17:00"));
  writeSettings(d);
  EXPECT_TRUE(check(Text(kKey), Text()));
  auto lines = takeReason();
  EXPECT_EQ(lines.front(), "CalmoraDebug [checkContact] appBID:-(null)Call key:-6F1C2B7A-3D4E, "
                           "contactIdentifier:-6F1C2B7A-3D4E, methodspecifier:-1");
  EXPECT_EQ(lines.back(), "CalmoraDebug [whitelist] 205");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "CalmoraDebug: Time not now"), 0);
  mode(2, false);
  check(Text(kKey), Text(kPhone));
  EXPECT_EQ(takeReason().back(), "CalmoraDebug [whitelist] 209");
}

// The bulletin walk's schedule answer is kept for the minute; a switch that
// the schedule reads, changed within that minute, is asked anew.
TEST_F(Rules, TheContactKeyInForceIsKeptForItsMinuteAndTheSwitchesItWasAskedWith) {
  writeContact(entry(true, true, "22:00-07:00"));
  const ContactIndex index(testing::settingsNow(), nullptr);
  at(23, 30);
  struct Ask {
    bool ignoretime, overnight;
    bool inForce;
  } asks[] = {{false, false, false}, {false, true, true}, {false, false, false}, {true, false, true},
              {false, false, false}};
  for (const auto& a : asks) {
    SCOPED_TRACE(std::string(a.ignoretime ? "ignoretime " : "") + (a.overnight ? "overnight" : ""));
    loaded.snapshot.ignoretime = a.ignoretime;
    loaded.snapshot.overnightWindows = a.overnight;
    Reason asked;
    EXPECT_EQ(index.firstContactKeyInForce(loaded.inputs(), asked), a.inForce ? Text(kKey) : Text());
    EXPECT_FALSE(asked.empty());
    // Asked again in the same minute, the kept answer gives no lines.
    Reason again;
    EXPECT_EQ(index.firstContactKeyInForce(loaded.inputs(), again), a.inForce ? Text(kKey) : Text());
    EXPECT_EQ(again, Reason{});
  }
  at(23, 31);
  Reason later;
  EXPECT_EQ(index.firstContactKeyInForce(loaded.inputs(), later), std::nullopt);
  EXPECT_EQ(later, Reason{"CalmoraDebug: Time not now"});
}

}  // namespace
}  // namespace calmora
