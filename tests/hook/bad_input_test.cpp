// Bad input from every side of the home screen that no other case reaches:
// contact entries of the wrong type, a huge settings file, odd payloads of
// the requests, calls without a provider. Nothing crashes and the
// documented fallback holds. Odd logs are tests/common's; missing texts of
// bulletins and calls are held against the documented walk by
// sender_matching_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "common/names.h"
#include "common/log_store.h"
#include "hook/process_state.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/clock.h"
#include "platform/runtime/runtime.h"
#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

namespace sig = names::signal;
namespace keys = names::settings;
using platform::springboard::BulletinDescription;
using platform::springboard::CallDescription;
using platform::plist::Value;

constexpr const char* kJane = "A1B2C3D4-0001";
constexpr const char* kPhoneSwitch = "com.apple.mobilephoneCall";
constexpr const char* kWhatsApp = "net.whatsapp.WhatsApp";

class BadInput : public HookDevice {
 protected:
  void SetUp() override {
    HookDevice::SetUp();
    writeFile(std::string(platform::contacts::kAddressBookPath),
              vcards({{kJane, "Jane", "Roe", {"+1 555 0101"}, {}}}));
  }

  // Boots on a settings file of these bytes; answers whether the library
  // installed its replacements (the runtime lists only those installations
  // that the classes of this process did not have yet, so a second boot
  // lists fewer).
  bool bootOn(const std::string& bytes) {
    writeFile(std::string(names::kSettingsPath), bytes);
    size_t before = platform::runtime::installations().size();
    boot();
    takePosted();
    return platform::runtime::installations().size() > before;
  }
  bool bootOn(const Value& settings) { return bootOn(platform::plist::toXml(settings.ref())); }

  static CallDescription janeCall() {
    CallDescription c;
    c.displayName = "Jane Roe";
    c.contactIdentifier = std::string(kJane) + ":ABPerson";
    return c;
  }
  static Value blockedJane() {
    return settingsFile(0, true, {{kJane, Entry().blocked().on(kPhoneSwitch).on(kWhatsApp)}});
  }
};

TEST_F(BadInput, ContactEntriesThatAreNotDictionariesBlockNoneAndWhitelistNone) {
  Value entries[] = {Value::string("blocked"), Value::array(), Value::integer(1), Value::boolean(true)};
  for (auto& entry : entries) {
    auto s = settingsFile(0, true, {});
    s.set(kJane, entry.ref().copy());
    bootOn(s);
    EXPECT_TRUE(board().deliverCallEvent(janeCall()));
    // In whitelist mode an entry that does not qualify lets nobody through.
    s.set(keys::kMethodSpecifier, Value::integer(1));
    bootOn(s);
    EXPECT_FALSE(board().deliverCallEvent(janeCall()));
  }
  EXPECT_EQ(readLog(names::kBlockedCallsPath).size(), 4u);
}

TEST_F(BadInput, ASettingsFileOfManyMegabytesIsReadAndDecidedQuickly) {
  auto s = blockedJane();
  std::string filler(2000, 'x');
  for (int i = 0; i < 12000; ++i) {
    auto entry = Value::dict();
    entry.set("note", Value::string(filler));
    entry.set(kPhoneSwitch, Value::boolean(true));
    s.set("FFFFFFFF-" + std::to_string(i), std::move(entry));
  }
  std::string bytes = platform::plist::toXml(s.ref());
  ASSERT_GT(bytes.size(), 20u << 20);
  EXPECT_TRUE(bootOn(bytes));
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(board().deliverCallEvent(janeCall()));
  EXPECT_TRUE(board().deliverBulletin(BulletinDescription{kWhatsApp, "Nobody", {}, "hi", std::nullopt}));
  // Generous for a sanitizer build; a walk per key per contact would take
  // minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(readLog(names::kBlockedCallsPath).size(), 1u);
}

TEST_F(BadInput, OpenRequestsAndMarkerMovesWithOddPayloadsKeepTheHomeScreenWhole) {
  auto s = blockedJane();
  s.set(keys::kXCoordinates, Value::string("far left"));
  s.set(keys::kYCoordinates, Value::integer(-2000000000));
  bootOn(s);
  center().post(sig::kOpenInApp, {}, platform::Delivery::Immediate);
  center().post(sig::kOpenInApp, {{"bID", ""}}, platform::Delivery::Immediate);
  center().post(sig::kOpenInApp, {{"bID", std::string(100000, 'b')}}, platform::Delivery::Immediate);
  center().post(sig::kShowIcon, {{"x", "y"}}, platform::Delivery::Immediate);
  takePosted();
  auto launched = board().record().snapshot().launched;
  // Without an identifier the platform is asked with an empty one.
  EXPECT_EQ(launched, (std::vector<std::string>{"", "", std::string(100000, 'b')}));
  auto marker = board().marker();
  ASSERT_TRUE(marker);
  EXPECT_EQ(marker->frame.x, 375.0 * 95 / 100);  // text is no coordinate
  EXPECT_EQ(marker->frame.width, 10.0);
  EXPECT_TRUE(std::isfinite(marker->frame.y));
}

TEST_F(BadInput, CallsWithoutAProviderNameNoAppSoNoSwitchIsOnAndAreHandedOn) {
  bootOn(blockedJane());
  CallDescription noProvider = janeCall(), nothing;
  noProvider.providerName.reset();
  noProvider.providerBundleIdentifier.reset();
  nothing.providerName.reset();
  nothing.providerBundleIdentifier.reset();
  for (const auto& c : {noProvider, nothing}) {
    EXPECT_TRUE(board().deliverCallEvent(c));
    EXPECT_TRUE(board().deliverCallUpdate(c));
  }
  EXPECT_EQ(readLog(names::kBlockedCallsPath).size(), 0u);
}

}  // namespace
}  // namespace calmora::testing
