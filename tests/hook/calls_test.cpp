// The call-event and call-update replacements on a home screen in the test
// process: which calls are ended, which are logged, and what is handed on.
// Bad input too: contact entries of the wrong type, calls without a
// provider, a settings file of many megabytes. What a blocked call leaves
// behind, outgoing and not-ringing calls, strangers, switched-off apps and
// callers found through a profile are held against the documented walk by
// the generated events of sender_matching_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "common/names.h"
#include "hook/app_identity.h"
#include "hook/call_decision.h"
#include "hook/process_state.h"
#include "hook/same_call.h"
#include "platform/contacts/contact_store.h"
#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

namespace sig = names::signal;
using platform::springboard::CallDescription;
using platform::plist::Value;

constexpr const char* kJaneKey = "A1B2C3D4-0001";
constexpr const char* kPhoneSwitch = "com.apple.mobilephoneCall";
constexpr const char* kFaceTimeSwitch = "com.apple.facetimeCall";
const std::vector<std::string> kCallSignals = {std::string(sig::kShow), std::string(sig::kUnreadCall),
                                               std::string(sig::kTableRefresh)};

class Calls : public HookDevice {
 protected:
  void bootWith(int mode, std::vector<std::pair<std::string, Entry>> entries) {
    boot(settingsFile(mode, true, std::move(entries)));
    takePosted();
  }

  // Telephony, com.apple.mobilephone, status 4, incoming.
  static CallDescription janeCall() {
    CallDescription c;
    c.displayName = "Jane Roe";
    c.contactIdentifier = std::string(kJaneKey) + ":ABPerson";
    return c;
  }

  // The pinned time of day, in the device's zone.
  static int64_t t0() { return localMs(2026, 12, 7, 10, 30); }
  std::vector<LogRecord> records() { return readLog(names::kBlockedCallsPath); }
};

TEST_F(Calls, FaceTimeIsNamedByReplacementInAnyLetterCaseAndAnUpdateSharesItsEventsWindow) {
  bootWith(0, {{kJaneKey, Entry().blocked().on(kFaceTimeSwitch)}});
  int64_t at = t0();
  for (const char* name : {"FACETIME", "facetime", "FaceTime"}) {
    CallDescription c = janeCall();
    c.providerName = name;
    c.providerBundleIdentifier = "com.example.voip";  // replaced by FaceTime's
    setNow(at += 5000);
    EXPECT_FALSE(board().deliverCallEvent(c));
    setNow(at += 5000);
    EXPECT_FALSE(board().deliverCallUpdate(c));
  }
  // The event and the update of one call share the one-second window.
  CallDescription c = janeCall();
  c.providerName = "FaceTime";
  setNow(at += 5000);
  EXPECT_FALSE(board().deliverCallEvent(c));
  setNow(at += 500);
  EXPECT_FALSE(board().deliverCallUpdate(c));
  EXPECT_EQ(board().record().snapshot().callsEnded, 8u);
  auto log = records();
  ASSERT_EQ(log.size(), 7u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(log[i]["appName"], i % 2 == 0 ? "FaceTime Audio" : "FaceTime Video") << i;
    EXPECT_EQ(log[i]["appBID"], "com.apple.facetime") << i;
  }
  EXPECT_EQ(log[1]["Data"], "FaceTime Video Call from Jane Roe");
  EXPECT_EQ(log[1]["iconData"], appIconData(std::string("com.apple.facetime")).value_or(""));
}

TEST_F(Calls, TheTelephonyRowBelongsToTheCallEventOnly) {
  // Whitelist mode: an update names no bundle, so no contact's switch is on
  // and every caller with an entry is blocked.
  bootWith(1, {{kJaneKey, Entry().blocked().on(kPhoneSwitch)}});
  CallDescription c = janeCall();
  c.providerName = "TELEPHONY";
  EXPECT_TRUE(board().deliverCallEvent(c));  // whitelisted for phone calls
  EXPECT_FALSE(board().deliverCallUpdate(c));
  auto log = records();
  ASSERT_EQ(log.size(), 1u);
  // An update names no bundle; not "Phone" by name, so no icon either.
  EXPECT_EQ(log[0], (LogRecord{{"Date", "10:30:00 07-12-2026"}, {"isRead", "false"}, {"appName", "TELEPHONY"},
                               {"appBID", ""}, {"Data", "TELEPHONY Call from Jane Roe"}, {"iconData", ""},
                               {"From", "Jane Roe"}}));

  // In blocklist mode the update's missing switch lets everybody through.
  bootWith(0, {{kJaneKey, Entry().blocked().on(kPhoneSwitch).on("(null)Call", false)}});
  EXPECT_TRUE(board().deliverCallUpdate(c));
  // Nor does a caller without an entry get blocked in whitelist mode.
  bootWith(1, {{kJaneKey, Entry().blocked().on(kPhoneSwitch).on("(null)Call", false)}});
  CallDescription stranger = c;
  stranger.contactIdentifier = std::nullopt;
  EXPECT_TRUE(board().deliverCallEvent(stranger));
}

// A blocked call is not logged again only when it is the one blocked just
// before seen again: the same caller through the same app within 1000 ms.
// Another caller, another app, or a clock set back is a new call, logged.
TEST_F(Calls, OnlyTheSameCallWithinASecondIsEndedWithoutBeingLoggedAgain) {
  constexpr const char* kBobKey = "A1B2C3D4-0002";
  bootWith(0, {{kJaneKey, Entry().blocked().on(kPhoneSwitch).on(kFaceTimeSwitch)},
               {kBobKey, Entry().blocked().on(kPhoneSwitch)}});
  CallDescription bob = janeCall(), janeFaceTime = janeCall();
  bob.displayName = "Bob Brandt";
  bob.contactIdentifier = std::string(kBobKey) + ":ABPerson";
  janeFaceTime.providerName = "FaceTime";
  struct Row {
    int64_t offset;  // milliseconds from t0
    CallDescription call;
    bool logged;
  } burst[] = {
      {0, janeCall(), true},      {1000, janeCall(), false},  // 1000 ms after: the same call
      {2000, janeCall(), false},                              // 1000 ms after the unlogged one
      {3001, janeCall(), true},                               // 1001 ms after it
      {3300, bob, true},                                      // another caller 0.3 s later
      {3400, janeFaceTime, true},                             // Jane through another app
      {3500, janeCall(), true},
      {-60000, janeCall(), true},  // the clock set back: a new call
      {-59000, janeCall(), false}, {-57999, janeCall(), true},
  };
  size_t logged = 0, ended = 0;
  for (const auto& [offset, call, logs] : burst) {
    SCOPED_TRACE(offset);
    setNow(t0() + offset);
    EXPECT_FALSE(board().deliverCallEvent(call));
    logged += logs;
    auto record = board().record().snapshot();
    EXPECT_EQ(record.callsEnded, ++ended);
    EXPECT_EQ(record.sounds.size(), logged);
    EXPECT_EQ(records().size(), logged);
    EXPECT_EQ(interceptionSignals(takePosted()), logs ? kCallSignals : std::vector<std::string>{});
  }
}

TEST_F(Calls, DiagnosticLinesNameTheCallAndAbsentValuesAsNull) {
  bootWith(0, {{kJaneKey, Entry().blocked().on(kPhoneSwitch)}});
  LogCapture capture;
  board().deliverCallEvent(janeCall());
  EXPECT_TRUE(capture.has("CalmoraDebug isIncoming:-1..contactIdentifier:-A1B2C3D4-0001..callStatus:-4, "
                          "displayName:-Jane Roe, fromAppNameBID:-com.apple.mobilephone, fromAppName:-Phone"));
  EXPECT_TRUE(capture.has("CalmoraDebug lastCalldate:-0, calldate:-" + std::to_string(t0()) +
                          " diff:-" + std::to_string(t0())));
  EXPECT_FALSE(capture.has("CalmoraDebug call inst isBlocked YESSS"));
  EXPECT_TRUE(capture.hasPrefix("CalmoraDebug arg1:-<NSNotification: 0x"));

  CallDescription bare;
  bare.displayName = std::nullopt;
  bare.providerName = std::nullopt;
  bare.status = 1;
  board().deliverCallUpdate(bare);
  EXPECT_TRUE(capture.has("CalmoraDebug updateWithCall displayNameF:-(null), callStatus:-1, "
                          "fromAppNameBID:-(null)...:-fromAppName:-(null), contactIdentifier:-(null), isIncoming:-1"));
  EXPECT_TRUE(capture.has("CalmoraDebug call inst isBlocked YESSS"));
}

// The rules write nothing themselves: the contact walk's lines come back in
// the verdict, and the interception logs them, in order, between the call's
// own lines and the hang-up's.
TEST_F(Calls, TheDecisionGivesTheWalksLinesInItsVerdictAndTheInterceptionLogsThem) {
  bootWith(0, {{kJaneKey, Entry().blocked().on(kPhoneSwitch)}});
  setNow(t0());
  hostapi::CallFields fields;
  fields.isIncoming = true;
  fields.callStatus = 4;
  fields.contactIdentifier = std::string(kJaneKey) + ":ABPerson";
  fields.displayName = "Jane Roe";
  fields.providerBundleIdentifier = "com.apple.mobilephone";
  fields.providerLocalizedName = "Telephony";
  LogCapture capture;
  DecisionState& state = decisionState();
  const Verdict v = calls::decideCall(calls::describe(fields, calls::Source::CallEvent), state.inputs(),
                                      *state.contactsNow(), state.recentCallers);
  EXPECT_EQ(capture.take(), std::vector<std::string>{});
  EXPECT_EQ(v.outcome, Outcome::Stop);
  const Reason walk = {
      "CalmoraDebug [checkContact] appBID:-com.apple.mobilephoneCall key:-A1B2C3D4-0001, "
      "contactIdentifier:-A1B2C3D4-0001, methodspecifier:-0",
      "CalmoraDebug [checkContact] 191",
      "CalmoraDebug: Time not now",  // no window; "ignoretime" is on
      "CalmoraDebug [checkContact][isBlocked] methodspecifier:-0",
      "CalmoraDebug [blocklist] checkContact contact isBlocked YES",
  };
  EXPECT_EQ(v.reason, walk);

  EXPECT_FALSE(board().deliverCallEvent(janeCall()));
  const auto lines = capture.take();
  auto at = std::search(lines.begin(), lines.end(), walk.begin(), walk.end());
  ASSERT_NE(at, lines.end());
  EXPECT_TRUE((*std::prev(at)).starts_with("CalmoraDebug isIncoming:-1"));
  EXPECT_TRUE((*(at + static_cast<long>(walk.size()))).starts_with("CalmoraDebug lastCalldate:-"));
}

TEST_F(Calls, ContactEntriesThatAreNotDictionariesBlockNobodyAndInWhitelistModeLetNobodyThrough) {
  Value entries[] = {Value::string("blocked"), Value::array(), Value::integer(1), Value::boolean(true)};
  for (auto& entry : entries)
    for (int mode : {0, 1}) {
      auto s = settingsFile(mode, true, {});
      s.set(kJaneKey, entry.ref().copy());
      boot(s);
      EXPECT_EQ(board().deliverCallEvent(janeCall()), mode == 0);
    }
  EXPECT_EQ(records().size(), 4u);
}

TEST_F(Calls, WithoutAProviderNameNoAppSwitchIsOnSoTheCallIsHandedOn) {
  bootWith(0, {{kJaneKey, Entry().blocked().on(kPhoneSwitch)}});
  CallDescription noProvider = janeCall(), nothing;
  noProvider.providerName.reset();
  noProvider.providerBundleIdentifier.reset();
  nothing.providerName.reset();
  nothing.providerBundleIdentifier.reset();
  for (const auto& c : {noProvider, nothing}) {
    EXPECT_TRUE(board().deliverCallEvent(c));
    EXPECT_TRUE(board().deliverCallUpdate(c));
  }
  EXPECT_TRUE(records().empty());
}

// A walk per key per contact would take minutes; the limit is generous for
// a sanitizer build.
TEST_F(Calls, ASettingsFileOfManyMegabytesIsReadAndDecidedQuickly) {
  writeFile(std::string(platform::contacts::kAddressBookPath), vcards({{kJaneKey, "Jane", "Roe", {"+1 555 0101"}}}));
  auto s = settingsFile(0, true, {{kJaneKey, Entry().blocked().on(kPhoneSwitch)}});
  for (int i = 0; i < 12000; ++i) {
    auto entry = Value::dict();
    entry.set("note", Value::string(std::string(2000, 'x')));
    entry.set(kPhoneSwitch, Value::boolean(true));
    s.set("FFFFFFFF-" + std::to_string(i), std::move(entry));
  }
  std::string bytes = platform::plist::toXml(s.ref());
  ASSERT_GT(bytes.size(), 20u << 20);
  writeFile(names::kSettingsPath, bytes);
  boot();
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(board().deliverCallEvent(janeCall()));
  EXPECT_TRUE(board().deliverBulletin({"net.whatsapp.WhatsApp", "Nobody", {}, "hi", std::nullopt}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(records().size(), 1u);
}

}  // namespace
// The monotonic clock and the device's must both put the call within a
// second of the last: a clock moved back, or one that stood still while
// seconds passed, makes a new call.
TEST(SameCallFilter, OnlyTheSameCallerAndProviderWithinASecondByBothClocksIsTheSameCall) {
  calls::SameCallFilter filter;
  const auto t = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  const auto ms = [&](int64_t n) { return t + std::chrono::milliseconds(n); };
  struct Row {
    const char* caller;
    const char* provider;
    int64_t monotonicMs, deviceMs;
    bool same;
  } rows[] = {
      {"contact A", "Telephony", 0, 0, false},
      {"contact A", "Telephony", 1000, 1000, true},
      {"contact A", "Telephony", 3000, 3000, false},
      {"contact A", "Telephony", 3300, 3300 - 3600000, false},  // the device's clock set back an hour
      {"contact A", "Telephony", 4500, 3300 - 3600000, false},   // it stood still; 1.2 s passed
      {"contact A", "Telephony", 4600, 3400 - 3600000, true},
      {"contact B", "Telephony", 4700, 3500 - 3600000, false},
      {"contact B", "FaceTime", 4800, 3600 - 3600000, false},
      {"contact B", "FaceTime", 4900, 3700 - 3600000, true},
  };
  for (const auto& r : rows)
    EXPECT_EQ(filter.seenAgain(r.caller, r.provider, ms(r.monotonicMs), r.deviceMs), r.same) << r.monotonicMs;
  filter.forget();
  EXPECT_FALSE(filter.seenAgain("contact B", "FaceTime", ms(5000), 3800 - 3600000));
}

}  // namespace calmora::testing
