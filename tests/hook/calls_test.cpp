// The call-event and call-update replacements on a home screen in the test
// process: which calls are ended, which are logged, and what is handed on.
// What a blocked call leaves behind, outgoing and not-ringing calls,
// strangers, switched-off apps and callers found through a profile are held
// against the documented walk by the generated events of
// sender_matching_test.cpp.
#include <gtest/gtest.h>

#include "common/names.h"
#include "hook/app_identity.h"
#include "hook/process_state.h"
#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

namespace sig = names::signal;
using platform::springboard::CallDescription;

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
  uint64_t callsEnded() { return board().record().snapshot().callsEnded; }
  std::vector<uint32_t> sounds() { return board().record().snapshot().sounds; }
};

TEST_F(Calls, FaceTimeIsNamedByReplacementInAnyLetterCase) {
  bootWith(0, {{kJaneKey, Entry().blocked().on(kFaceTimeSwitch)}});
  const char* names[] = {"FACETIME", "facetime", "FaceTime"};
  for (size_t i = 0; i < std::size(names); ++i) {
    CallDescription c = janeCall();
    c.providerName = names[i];
    c.providerBundleIdentifier = "com.example.voip";  // replaced by FaceTime's
    setNow(t0() + static_cast<int64_t>(i) * 10000);
    EXPECT_FALSE(board().deliverCallEvent(c));
    setNow(t0() + static_cast<int64_t>(i) * 10000 + 5000);
    EXPECT_FALSE(board().deliverCallUpdate(c));
  }
  auto log = records();
  ASSERT_EQ(log.size(), 6u);
  for (size_t i = 0; i < log.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(log[i]["appName"], i % 2 == 0 ? "FaceTime Audio" : "FaceTime Video");
    EXPECT_EQ(log[i]["appBID"], "com.apple.facetime");
    EXPECT_EQ(log[i]["iconData"], appIconData(std::string("com.apple.facetime")).value_or(""));
  }
  EXPECT_EQ(log[1]["Data"], "FaceTime Video Call from Jane Roe");
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
  EXPECT_EQ(log[0]["appName"], "TELEPHONY");
  EXPECT_EQ(log[0]["appBID"], "");  // an update names no bundle
  EXPECT_EQ(log[0]["Data"], "TELEPHONY Call from Jane Roe");
  // Not "Phone" by name and no bundle to take an icon from.
  EXPECT_EQ(log[0]["iconData"], "");

  // In blocklist mode the update's missing switch lets everybody through.
  writeSettings(settingsFile(0, true, {{kJaneKey, Entry().blocked().on(kPhoneSwitch).on("(null)Call", false)}}));
  process().snapshot.methodspecifier = 0;
  EXPECT_TRUE(board().deliverCallUpdate(c));
  // Nor does a caller without an entry get blocked in whitelist mode.
  process().snapshot.methodspecifier = 1;
  CallDescription stranger = c;
  stranger.contactIdentifier = std::nullopt;
  EXPECT_TRUE(board().deliverCallEvent(stranger));
}

// Every blocked call moves the previous blocked call's time, logged or not,
// and a clock set back counts as within the second.
TEST_F(Calls, BlockedCallsWithinASecondOfTheLastAreEndedButNotLoggedAgain) {
  bootWith(0, {{kJaneKey, Entry().blocked().on(kPhoneSwitch)}});
  // Milliseconds from t0, and whether that blocked call is logged.
  const std::pair<int64_t, bool> burst[] = {
      {0, true},       {1000, false},  // 1000 ms after the last: the same call
      {2000, false},                   // 1000 ms after the unlogged one
      {3001, true},                    // 1001 ms after it
      {-60000, false},                 // the clock set back
      {-59000, false}, {-57999, true},  // 1000 ms, then 1001 ms after the last
  };
  size_t logged = 0, ended = 0;
  for (auto [offset, logs] : burst) {
    SCOPED_TRACE(offset);
    setNow(t0() + offset);
    EXPECT_FALSE(board().deliverCallEvent(janeCall()));
    logged += logs;
    EXPECT_EQ(callsEnded(), ++ended);
    EXPECT_EQ(records().size(), logged);
    EXPECT_EQ(sounds().size(), logged);
    EXPECT_EQ(interceptionSignals(takePosted()), logs ? kCallSignals : std::vector<std::string>{});
  }

  // The event and the update of one call share the window. (Only a
  // FaceTime update names the app whose switch blocklist mode looks for.)
  writeSettings(settingsFile(0, true, {{kJaneKey, Entry().blocked().on(kPhoneSwitch).on(kFaceTimeSwitch)}}));
  CallDescription faceTime = janeCall();
  faceTime.providerName = "FaceTime";
  setNow(t0() + 10000);
  EXPECT_FALSE(board().deliverCallEvent(faceTime));
  EXPECT_FALSE(board().deliverCallUpdate(faceTime));
  EXPECT_EQ(callsEnded(), ended + 2);
  EXPECT_EQ(records().size(), logged + 1);
  EXPECT_EQ(records().back()["appName"], "FaceTime Audio");
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

}  // namespace
}  // namespace calmora::testing
