#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hook/process_state.h"
#include "hook/rules.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "tests/hook/device_support.h"

namespace calmora {
namespace {

using platform::plist::Value;

class LogCapture {
 public:
  LogCapture() { platform::setLogSink(&LogCapture::sink, this); }
  ~LogCapture() { platform::setLogSink(nullptr, nullptr); }
  std::vector<std::string> take() { return std::exchange(lines_, {}); }
  bool has(std::string_view line) const { return std::find(lines_.begin(), lines_.end(), line) != lines_.end(); }

 private:
  static void sink(std::string_view line, void* self) {
    static_cast<LogCapture*>(self)->lines_.emplace_back(line);
  }
  std::vector<std::string> lines_;
};

TEST(ContainsEither, EitherTextMayHoldTheOtherIgnoringCaseInUnicode) {
  EXPECT_TRUE(containsEither("6F1C-ABPerson-XY", "6f1c"));
  EXPECT_TRUE(containsEither("6f1c", "XX6F1CXX"));
  EXPECT_TRUE(containsEither("ÄRGER-Ölung", "ärger-öl"));
  EXPECT_TRUE(containsEither("Иван Петров", "иван"));
  EXPECT_FALSE(containsEither("abc", "abd"));
  EXPECT_TRUE(containsEither(host::Text("Same"), host::Text("same")));
}

TEST(ContainsEither, AbsentOrEmptyTextsStandInAsImnullAndImalsonull) {
  EXPECT_FALSE(containsEither(host::Text(), host::Text()));
  EXPECT_FALSE(containsEither("", ""));
  EXPECT_TRUE(containsEither(host::Text(), host::Text("IMNULL")));
  EXPECT_TRUE(containsEither(host::Text("null"), host::Text()));  // a part of "imalsonull"
  EXPECT_TRUE(containsEither(host::Text("xximalsonullxx"), host::Text("")));
  EXPECT_FALSE(containsEither(host::Text("ABC-123"), host::Text()));
}

class Rules : public testing::HookDevice {
 protected:
  static constexpr const char* kKey = "6F1C2B7A-3D4E";
  static constexpr const char* kPhone = "com.apple.mobilephone";

  // Monday is weekday 2 of the Gregorian calendar.
  void writeContact(Value entry) {
    auto d = Value::dict();
    d.set("isTweakEnabled", Value::boolean(true));
    d.set("sound", Value::string("1005"));
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
    process().snapshot.methodspecifier = methodspecifier;
    process().snapshot.ignoretime = ignoretime;
  }
};

TEST_F(Rules, AWindowIsInForceOnlyStrictlyBetweenItsStartAndEndMinutes) {
  writeContact(entry(true, true, "08:00-17:00"));
  mode(0, false);
  struct Case {
    int h, m, s;
    bool inForce;
  } cases[] = {{7, 59, 0, false},  {8, 0, 0, false},  {8, 0, 59, false}, {8, 1, 0, true},
               {12, 0, 0, true},   {16, 59, 0, true}, {16, 59, 59, true}, {17, 0, 0, false},
               {17, 1, 0, false},  {0, 0, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.h) + ":" + std::to_string(c.m) + ":" + std::to_string(c.s));
    at(c.h, c.m, c.s);
    LogCapture log;
    EXPECT_EQ(isTimeNow(kKey), c.inForce);
    EXPECT_TRUE(log.has(c.inForce ? "CalmoraDebug: Time is now" : "CalmoraDebug: Time not now"));
  }
}

TEST_F(Rules, AWindowAcrossMidnightIsNeverInForceUnlessTimeIsIgnored) {
  writeContact(entry(true, true, "22:00-06:00"));
  for (auto [h, m] : {std::pair{22, 30}, {23, 59}, {0, 0}, {3, 0}, {5, 59}, {12, 0}}) {
    at(h, m);
    mode(0, false);
    EXPECT_FALSE(isTimeNow(kKey)) << h << ":" << m;
    mode(0, true);
    EXPECT_TRUE(isTimeNow(kKey)) << h << ":" << m;
  }
}

TEST_F(Rules, MalformedOrMissingWindowsTakeTheTimeNotNowPath) {
  at(10, 30);
  for (const char* window : {"", "0800-1700", "08:00", "08:00-", "-17:00", "8am-5pm", "08:00-24:00", "08:60-17:00",
                             " 08:00-17:00", "08:00 - 17:00", "08:000-17:00", "ab:cd-ef:gh"}) {
    SCOPED_TRACE(window);
    writeContact(entry(true, true, window));
    mode(0, false);
    LogCapture log;
    EXPECT_FALSE(isTimeNow(kKey));
    EXPECT_TRUE(log.has("CalmoraDebug: Time not now"));
    EXPECT_FALSE(log.has("CalmoraDebug: Time is now"));
    mode(0, true);
    EXPECT_TRUE(isTimeNow(kKey));
  }
  mode(0, false);
  writeContact(entry(true, true, nullptr));  // switch on, no window
  EXPECT_FALSE(isTimeNow(kKey));
  auto e = entry(true, true, nullptr);
  e.set("weekdayHour2", Value::dict());  // wrong type
  writeContact(std::move(e));
  EXPECT_FALSE(isTimeNow(kKey));
  // A single hour digit and pieces after the second are tolerated.
  writeContact(entry(true, true, "8:05-17:00-20:00"));
  at(8, 6);
  EXPECT_TRUE(isTimeNow(kKey));
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
  EXPECT_FALSE(isTimeNow(kKey));
  platform::clock::setTimeZoneForTesting("Europe/London");
  EXPECT_TRUE(isTimeNow(kKey));
  // Another day's switch does not count today, and an unknown key has none.
  setNow(localMs(2026, 12, 8, 12, 0));  // Tuesday
  EXPECT_FALSE(isTimeNow(kKey));
  EXPECT_FALSE(isTimeNow("no-such-contact"));
}

// The three columns of the decision table, for a contact found and
// qualifying, found and not qualifying, and not found.
TEST_F(Rules, TheDecisionTableHoldsInEveryModeWithAndWithoutIgnoretime) {
  struct Situation {
    const char* name;
    Value entry;
    int hour;
    bool qualifies;  // without ignoretime
    bool qualifiesIgnoringTime;
  };
  std::vector<Situation> situations;
  situations.push_back({"qualifies in its window", entry(true, true, "08:00-17:00"), 10, true, true});
  situations.push_back({"outside its window", entry(true, true, "08:00-17:00"), 18, false, true});
  situations.push_back({"at its window's end", entry(true, true, "08:00-17:00"), 17, false, true});
  situations.push_back({"not blocked", entry(false, true, "08:00-17:00"), 10, false, false});
  situations.push_back({"app switch off", entry(true, false, "08:00-17:00"), 10, false, false});
  situations.push_back({"malformed window", entry(true, true, "08:00"), 10, false, true});
  for (auto& s : situations) {
    writeContact(std::move(s.entry));
    at(s.hour, 0);
    for (bool ignoretime : {false, true}) {
      bool qualifies = ignoretime ? s.qualifiesIgnoringTime : s.qualifies;
      for (int m : {0, 1, 2}) {
        SCOPED_TRACE(std::string(s.name) + " mode " + std::to_string(m) + (ignoretime ? " ignoretime" : ""));
        mode(m, ignoretime);
        bool expected = m == 0 ? qualifies : m == 1 ? !qualifies : false;
        EXPECT_EQ(checkContact(host::Text(kKey), host::Text(kPhone)), expected);
        // No key holds or is held by this identifier.
        EXPECT_FALSE(checkContact(host::Text("0000-9999"), host::Text(kPhone)));
      }
    }
  }
}

TEST_F(Rules, CheckContactLogsEveryKeyTriedAndTheBranchTaken) {
  auto d = Value::dict();
  d.set(kKey, entry(true, true, "08:00-17:00"));
  writeSettings(d);
  at(10, 0);
  mode(0, false);
  LogCapture log;
  EXPECT_TRUE(checkContact(host::Text(kKey), host::Text(kPhone)));
  EXPECT_EQ(log.take(), (std::vector<std::string>{
                            "CalmoraDebug [checkContact] appBID:-com.apple.mobilephoneCall key:-6F1C2B7A-3D4E, "
                            "contactIdentifier:-6F1C2B7A-3D4E, methodspecifier:-0",
                            "CalmoraDebug [checkContact] 191",
                            "CalmoraDebug: Time is now",
                            "CalmoraDebug [checkContact][isBlocked] methodspecifier:-0",
                            "CalmoraDebug [blocklist] checkContact contact isBlocked YES",
                        }));
  mode(1, false);
  EXPECT_FALSE(checkContact(host::Text(kKey), host::Text(kPhone)));
  EXPECT_EQ(log.take().back(), "CalmoraDebug [whitelist] checkContact contact isBlocked YES");
  // The schedule is asked only when both switches are on.
  d.set(kKey, entry(false, true, "08:00-17:00"));
  writeSettings(d);
  EXPECT_TRUE(checkContact(host::Text(kKey), host::Text()));
  auto lines = log.take();
  EXPECT_EQ(lines.front(), "CalmoraDebug [checkContact] appBID:-(null)Call key:-6F1C2B7A-3D4E, "
                           "contactIdentifier:-6F1C2B7A-3D4E, methodspecifier:-1");
  EXPECT_EQ(lines.back(), "CalmoraDebug [whitelist] 205");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "CalmoraDebug: Time not now"), 0);
  mode(2, false);
  checkContact(host::Text(kKey), host::Text(kPhone));
  EXPECT_EQ(log.take().back(), "CalmoraDebug [whitelist] 209");
}

TEST_F(Rules, ContactKeysAreFoundByContainmentAndAnAbsentIdentifierOnlyByTheImalsonullQuirk) {
  at(10, 0);
  auto d = Value::dict();
  d.set("isTweakEnabled", Value::boolean(true));
  d.set("xx" + std::string(kKey) + "yy", entry(true, true, "08:00-17:00"));
  writeSettings(d);
  mode(0, false);
  EXPECT_TRUE(checkContact(host::Text(kKey), host::Text(kPhone)));
  EXPECT_TRUE(checkContact(host::Text("6f1c2b7a"), host::Text(kPhone)));  // a part of the key
  // A number that is not in the contacts: never blocked in either mode.
  for (int m : {0, 1}) {
    mode(m, false);
    LogCapture log;
    EXPECT_FALSE(checkContact(host::Text(), host::Text(kPhone)));
    EXPECT_FALSE(log.has("CalmoraDebug [checkContact] 191"));
    EXPECT_TRUE(log.take().front().find("contactIdentifier:-(null)") != std::string::npos);
  }
  // ... unless a top-level key is a part of "imalsonull" or holds it.
  d.set("NULL", Value::string("x"));
  writeSettings(d);
  mode(1, false);
  EXPECT_TRUE(checkContact(host::Text(), host::Text(kPhone)));
  mode(0, false);
  EXPECT_FALSE(checkContact(host::Text(""), host::Text(kPhone)));
  // A global key found that way gives a contact that does not qualify.
  mode(1, true);
  EXPECT_TRUE(checkContact(host::Text("isTweakEnabled"), host::Text(kPhone)));
}

TEST_F(Rules, EveryEvaluationSeesTheSettingsFileAsItIsNow) {
  at(10, 0);
  mode(0, false);
  EXPECT_FALSE(checkContact(host::Text(kKey), host::Text(kPhone)));  // no file
  EXPECT_FALSE(isTimeNow(kKey));
  writeContact(entry(true, true, "08:00-17:00"));
  EXPECT_TRUE(checkContact(host::Text(kKey), host::Text(kPhone)));
  writeContact(entry(false, true, "08:00-17:00"));
  EXPECT_FALSE(checkContact(host::Text(kKey), host::Text(kPhone)));
  writeFile("/var/mobile/Library/Preferences/com.veltrane.calmoprefs.plist", "not a plist");
  EXPECT_FALSE(checkContact(host::Text(kKey), host::Text(kPhone)));
  mode(0, true);
  EXPECT_TRUE(isTimeNow(kKey));
}

}  // namespace
}  // namespace calmora
