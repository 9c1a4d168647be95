// Bad input from every side of the home screen: the settings file, the two
// logs, the signals, the calls and the bulletins. Each case checks that
// nothing crashes, that the documented fallback holds, and that a
// diagnostic line says what was wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>

#include "common/names.h"
#include "common/log_store.h"
#include "hook/process_state.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/runtime/runtime.h"
#include "tests/hook/device_support.h"
#include "tests/hook/interception_support.h"

namespace calmora::testing {
namespace {

namespace sig = names::signal;
namespace keys = names::settings;
using platform::springboard::BulletinDescription;
using platform::springboard::CallDescription;
using platform::plist::Ref;
using platform::plist::Value;

constexpr const char* kJane = "A1B2C3D4-0001";
constexpr const char* kPhoneSwitch = "com.apple.mobilephoneCall";
constexpr const char* kWhatsApp = "net.whatsapp.WhatsApp";

// The diagnostic lines written while it lives.
class Diagnostics {
 public:
  Diagnostics() {
    platform::setLogSink([](std::string_view l, void* self) { static_cast<Diagnostics*>(self)->lines_.emplace_back(l); },
                         this);
  }
  ~Diagnostics() { platform::setLogSink(nullptr, nullptr); }
  Diagnostics(const Diagnostics&) = delete;
  Diagnostics& operator=(const Diagnostics&) = delete;
  // Whether some line holds every one of the pieces.
  bool any(std::initializer_list<std::string_view> pieces) const {
    return std::any_of(lines_.begin(), lines_.end(), [&](const std::string& l) {
      return std::all_of(pieces.begin(), pieces.end(), [&](std::string_view p) { return l.find(p) != l.npos; });
    });
  }
  std::string all() const {
    std::string s;
    for (const auto& l : lines_) s += l.substr(0, 200) + "\n";
    return s;
  }

 private:
  std::vector<std::string> lines_;
};

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

  // The hide and show answers among the signals delivered since the last
  // look, in order.
  std::vector<std::string> markerAnswers() {
    std::vector<std::string> out;
    for (auto& name : takePosted())
      if (name == sig::kHide || name == sig::kShow) out.push_back(name);
    return out;
  }

  static CallDescription janeCall() {
    CallDescription c;
    c.displayName = "Jane Roe";
    c.contactIdentifier = std::string(kJane) + ":ABPerson";
    return c;
  }
  static BulletinDescription janeMessage() {
    BulletinDescription b;
    b.section = kWhatsApp;
    b.title = "Jane Roe";
    b.message = "hi";
    b.date = static_cast<double>(platform::clock::nowMs()) / 1000.0;
    return b;
  }
  static Value blockedJane(int mode = 0) {
    return settingsFile(mode, true, {{kJane, Entry().blocked().on(kPhoneSwitch).on(kWhatsApp)}});
  }

  platform::plist::ReadResult log(std::string_view phonePath) {
    return platform::plist::readDictionary(platform::devicePath(phonePath));
  }
  void writeLog(std::string_view phonePath, const Value& dict) {
    writeFile(std::string(phonePath), platform::plist::toXml(dict.ref()));
  }
  static Value record(const std::string& from, std::optional<Value> isRead = Value::boolean(false)) {
    auto r = Value::dict();
    r.set("From", Value::string(from));
    if (isRead) r.set("isRead", std::move(*isRead));
    return r;
  }
  static logs::CallRecord call(const std::string& from) {
    logs::CallRecord r;
    r.date = "10:30:00 07-12-2026";
    r.from = from;
    return r;
  }
};

// ---------------------------------------------------------------- settings

TEST_F(BadInput, SettingsKeysOfEveryWrongTypeFallBackToTheirDefaults) {
  auto s = blockedJane();
  s.set(keys::kMethodSpecifier, Value::dict());
  s.set(keys::kIgnoreTime, Value::string("true"));
  s.set(keys::kSound, Value::array());
  s.set(keys::kColor, Value::boolean(true));
  s.set(keys::kXCoordinates, Value::string("left"));
  s.set(keys::kYCoordinates, Value::array());
  EXPECT_TRUE(bootOn(s));
  const auto& snap = process().snapshot;
  EXPECT_EQ(snap.methodspecifier, 0);
  EXPECT_FALSE(snap.ignoretime);
  EXPECT_EQ(snap.selectedSound, 1000u);
  EXPECT_EQ(snap.chosenColor, parseColor(keys::kDefaultColor));
  EXPECT_EQ(snap.coordinatesForX, 95.0);
  EXPECT_EQ(snap.coordinatesForY, 95.0);

  // The master switch as text is no boolean: the library stays out.
  s.set(keys::kIsTweakEnabled, Value::string("YES"));
  EXPECT_FALSE(bootOn(s));
  EXPECT_TRUE(board().deliverCallEvent(janeCall()));
}

TEST_F(BadInput, ContactEntriesThatAreNotDictionariesBlockNoneAndWhitelistNone) {
  Value entries[] = {Value::string("blocked"), Value::array(), Value::integer(1), Value::boolean(true)};
  for (auto& entry : entries) {
    auto s = settingsFile(0, true, {});
    s.set(kJane, entry.ref().copy());
    bootOn(s);
    Diagnostics lines;
    EXPECT_TRUE(board().deliverCallEvent(janeCall()));
    EXPECT_TRUE(board().deliverBulletin(janeMessage()));
    EXPECT_TRUE(lines.any({"[checkContact]", kJane})) << lines.all();
    // In whitelist mode an entry that does not qualify lets nobody through.
    s.set(keys::kMethodSpecifier, Value::integer(1));
    bootOn(s);
    EXPECT_FALSE(board().deliverCallEvent(janeCall()));
  }
  EXPECT_EQ(readLog(names::kBlockedCallsPath).size(), 4u);
}

TEST_F(BadInput, ATopLevelArrayATruncatedOrAGarbageFileLeavesTheLibraryOut) {
  std::string xml = platform::plist::toXml(blockedJane().ref());
  std::string binary = platform::plist::toBinary(blockedJane().ref());
  auto array = Value::array();
  array.append(blockedJane());
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage.push_back(static_cast<char>((i * 131 + 7) % 251 + 1));
  for (const auto& [bytes, why] : std::vector<std::pair<std::string, std::string>>{
           {platform::plist::toXml(array.ref()), "root is not a dictionary"},
           {xml.substr(0, xml.size() / 2), "not a property list"},
           {binary.substr(0, binary.size() - 40), "not a property list"},
           {"bplist00" + garbage, "not a property list"},
           {garbage, "not a property list"}}) {
    Diagnostics lines;
    EXPECT_FALSE(bootOn(bytes)) << why;
    EXPECT_TRUE(lines.any({"plist: ", std::string(names::kSettingsPath), why, "read as empty"})) << lines.all();
    EXPECT_EQ(process().snapshot.selectedSound, 1000u);
    EXPECT_TRUE(board().deliverCallEvent(janeCall()));
  }
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

TEST_F(BadInput, NestingDeepEnoughToOverflowTheParserIsRefused) {
  std::string xml = platform::plist::toXml(blockedJane().ref());
  std::string deep = "<key>deep</key>";
  for (int i = 0; i < 100000; ++i) deep += "<array>";
  for (int i = 0; i < 100000; ++i) deep += "</array>";
  xml.insert(xml.rfind("</dict>"), deep);
  Diagnostics lines;
  EXPECT_FALSE(bootOn(xml));
  EXPECT_TRUE(lines.any({"plist: ", "nested deeper than 512 levels", "read as empty"})) << lines.all();
  EXPECT_TRUE(board().deliverCallEvent(janeCall()));
}

TEST_F(BadInput, TextsWithNulOrInvalidUtf8NeitherCrashNorMatchWrongly) {
  // A NUL inside a key of a binary file: libplist would assert on it.
  auto s = blockedJane();
  std::string binary = platform::plist::toBinary(s.ref());
  size_t at = binary.find("isBlocked");
  ASSERT_NE(at, std::string::npos);
  binary[at + 2] = '\0';
  {
    Diagnostics lines;
    EXPECT_FALSE(bootOn(binary));
    EXPECT_TRUE(lines.any({"plist: ", "NUL character", "read as empty"})) << lines.all();
  }

  // Invalid UTF-8 in a window (Monday's), a key and the events' texts.
  Entry jane, odd;
  jane.blocked().on(kPhoneSwitch).window(2, "08:0\xFF-17:00");
  odd.blocked().on(kPhoneSwitch);
  bootOn(settingsFile(0, false, {{kJane, std::move(jane)}, {"\xC3\x28\xFF-key", std::move(odd)}}));
  Diagnostics lines;
  CallDescription c = janeCall();
  c.displayName = "J\xFF\xFE" "ane";
  EXPECT_TRUE(board().deliverCallEvent(c));
  EXPECT_TRUE(lines.any({"weekdayHour2", "is not an HH:mm-HH:mm window"})) << lines.all();
  EXPECT_TRUE(board().deliverBulletin(BulletinDescription{kWhatsApp, "\xC3\x28", "\xFF", "\xE2\x82", 0.0}));
}

// ---------------------------------------------------------------- logs

TEST_F(BadInput, LogKeysThatAreNotDenseOrNotNumbersLoseNoRecord) {
  bootOn(blockedJane());
  auto d = Value::dict();
  for (const char* key : {"0", "1", "3", "x", "-1"}) d.set(key, record(key));
  writeLog(names::kBlockedCallsPath, d);
  Diagnostics lines;
  EXPECT_EQ(logs::unreadCount(logs::Log::Calls), 5);
  // The count is free each time: the new records go there, and nothing
  // under a key that is no number is in their way.
  EXPECT_EQ(logs::appendCall(call("new")), "5");
  EXPECT_EQ(logs::appendCall(call("newer")), "6");
  center().post(sig::kMarkReadC, {{"key", "x"}}, platform::Delivery::Immediate);
  takePosted();
  EXPECT_TRUE(lines.any({"CalmoraDebug: ", std::string(names::kBlockedCallsPath), "keys that are not 0 to 5 - 1"}))
      << lines.all();
  auto after = log(names::kBlockedCallsPath);
  ASSERT_EQ(after.state, platform::plist::ReadState::Ok);
  for (const char* key : {"0", "1", "3", "x", "-1"}) EXPECT_EQ(after.dict[key]["From"].text(), key);
  EXPECT_EQ(after.dict["5"]["From"].text(), "new");
  EXPECT_TRUE(after.dict["x"]["isRead"].truthy());
  EXPECT_EQ(logs::unreadCount(logs::Log::Calls), 6);

  // A hole at the count: the record under it stays, the new one goes past.
  auto holes = Value::dict();
  for (const char* key : {"0", "1", "3"}) holes.set(key, record(key));
  writeLog(names::kBlockedNotifPath, holes);
  EXPECT_EQ(logs::appendNotification({}), "4");
  EXPECT_TRUE(lines.any({"has no dense keys"})) << lines.all();
  EXPECT_EQ(log(names::kBlockedNotifPath).dict["3"]["From"].text(), "3");
}

TEST_F(BadInput, LogEntriesThatAreNotRecordsAreNeitherCountedNorTouched) {
  bootOn(blockedJane());
  auto d = Value::dict();
  d.set("0", Value::string("not a record"));
  d.set("1", Value::array());
  d.set("2", Value::integer(0));
  d.set("3", record("real"));
  writeLog(names::kBlockedCallsPath, d);
  Diagnostics lines;
  // Only a dictionary has a read mark that a request could set; counting
  // the others would keep the marker on for good.
  EXPECT_EQ(logs::unreadCount(logs::Log::Calls), 1);
  EXPECT_TRUE(lines.any({"CalmoraDebug: ", "3 entries that are not records"})) << lines.all();
  center().post(sig::kMarkAllReadC, {}, platform::Delivery::Immediate);
  EXPECT_EQ(markerAnswers(), std::vector<std::string>{std::string(sig::kHide)});
  auto after = log(names::kBlockedCallsPath).dict;
  EXPECT_EQ(after["0"].text(), "not a record");
  EXPECT_EQ(after["1"].size(), 0u);
  EXPECT_EQ(after["2"].integer(), 0);
  EXPECT_TRUE(after["3"]["isRead"].truthy());
  EXPECT_EQ(logs::appendCall(call("next")), "4");
}

TEST_F(BadInput, ReadMarksOfOddTypesCountAsBooleansAndAreMarkedWithOne) {
  bootOn(blockedJane());
  auto d = Value::dict();
  d.set("0", record("text", Value::string("YES")));  // text is never true
  d.set("1", record("one", Value::integer(1)));
  d.set("2", record("zero", Value::real(0.0)));
  d.set("3", record("none", std::nullopt));  // missing: unread everywhere
  d.set("4", record("dict", Value::dict()));
  writeLog(names::kBlockedNotifPath, d);
  Diagnostics lines;
  EXPECT_EQ(logs::unreadCount(logs::Log::Notifications), 4);
  EXPECT_TRUE(lines.any({"CalmoraDebug: ", "4 read marks that are not booleans"})) << lines.all();
  EXPECT_FALSE(logs::isAllRead());
  center().post(sig::kMarkReadN, {{"key", "0"}}, platform::Delivery::Immediate);
  center().post(sig::kMarkAllReadN, {}, platform::Delivery::Immediate);
  EXPECT_EQ(markerAnswers(), (std::vector<std::string>{std::string(sig::kShow), std::string(sig::kHide)}));
  auto after = log(names::kBlockedNotifPath).dict;
  for (const char* key : {"0", "2", "3", "4"}) {
    EXPECT_EQ(after[key]["isRead"].type(), platform::plist::Type::Bool) << key;
    EXPECT_TRUE(after[key]["isRead"].truthy()) << key;
  }
  EXPECT_EQ(after["1"]["isRead"].integer(), 1);  // already read: left as it was
}

TEST_F(BadInput, AnUnreadableLogIsKeptAsideBeforeTheNextRecordReplacesIt) {
  bootOn(blockedJane());
  const std::string torn = "<?xml version=\"1.0\"?><plist><dict><key>0</key><dict><key>From</key><stri";
  writeFile(std::string(names::kBlockedCallsPath), torn);
  Diagnostics lines;
  EXPECT_EQ(logs::unreadCount(logs::Log::Calls), 0);
  EXPECT_FALSE(board().deliverCallEvent(janeCall()));
  EXPECT_EQ(readLog(names::kBlockedCallsPath).size(), 1u);
  EXPECT_TRUE(lines.any({"could not be read; kept as", ".unreadable-"})) << lines.all();
  size_t kept = 0;
  auto dir = platform::devicePath(names::kBlockedCallsPath).parent_path();
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (e.path().filename().string().find(".unreadable-") == std::string::npos) continue;
    ++kept;
    std::ifstream in(e.path(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), torn);
  }
  EXPECT_EQ(kept, 1u);
}

// ---------------------------------------------------------------- signals

TEST_F(BadInput, MarkRequestsWithMissingEmptyHugeOrOddKeysChangeNothingButAreAnswered) {
  bootOn(blockedJane());
  logs::appendCall(call("Ann"));
  logs::appendCall(call("Bob"));
  takePosted();
  std::vector<std::optional<std::string>> keysToTry = {std::nullopt, "", std::string(200000, '1'), "01", " 1",
                                                       "1.0", "-0", "+1", "\xFF", "18446744073709551617"};
  for (const auto& key : keysToTry) {
    Diagnostics lines;
    platform::UserInfo info;
    if (key) info["key"] = *key;
    info["unexpected"] = "value";
    center().post(sig::kMarkReadC, info, platform::Delivery::Immediate);
    EXPECT_EQ(markerAnswers(), std::vector<std::string>{std::string(sig::kShow)}) << key.value_or("(none)").substr(0, 20);
    EXPECT_TRUE(lines.any({"CalmoraDebug markReadC:-", key ? "" : "(null)"})) << lines.all();
  }
  EXPECT_EQ(logs::unreadCount(logs::Log::Calls), 2);
}

TEST_F(BadInput, CountRequestsIgnoreTheirPayloadAndAnswerTheCount) {
  bootOn(blockedJane());
  logs::appendCall(call("Ann"));
  takePosted();
  Diagnostics lines;
  center().post(sig::kUnreadCall, {{"badges", "-5"}, {"key", std::string(100000, 'k')}},
                platform::Delivery::Immediate);
  auto answers = takeNotifications();
  ASSERT_EQ(answers.size(), 2u);  // the request itself, then the answer
  EXPECT_EQ(answers[1].name, sig::kUnreadCallCount);
  EXPECT_EQ(answers[1].userInfo, (platform::UserInfo{{"badges", "1"}}));
  EXPECT_TRUE(lines.any({"CalmoraDebug unreadCall::RECEVEDPOST"}));
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
  ASSERT_EQ(launched.size(), 3u);
  EXPECT_EQ(launched[2].size(), 100000u);
  auto marker = board().marker();
  ASSERT_TRUE(marker);
  EXPECT_EQ(marker->frame.x, 375.0 * 95 / 100);  // text is no coordinate
  EXPECT_EQ(marker->frame.width, 10.0);
  EXPECT_TRUE(std::isfinite(marker->frame.y));
}

// ---------------------------------------------------------------- calls

TEST_F(BadInput, CallsWithoutProviderOrDisplayNameAreDecidedAndRecordedWithEmptyTexts) {
  bootOn(blockedJane());
  Diagnostics lines;
  CallDescription noProvider = janeCall();
  noProvider.providerName.reset();
  noProvider.providerBundleIdentifier.reset();
  // No app, so no per-app switch is on: handed on in blocklist mode.
  EXPECT_TRUE(board().deliverCallEvent(noProvider));
  EXPECT_TRUE(board().deliverCallUpdate(noProvider));
  EXPECT_TRUE(lines.any({"CalmoraDebug isIncoming:-1", "fromAppNameBID:-(null)"})) << lines.all();

  CallDescription noName = janeCall();
  noName.displayName.reset();
  EXPECT_FALSE(board().deliverCallEvent(noName));
  EXPECT_TRUE(lines.any({"displayName:-(null)"})) << lines.all();
  auto records = readLog(names::kBlockedCallsPath);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].size(), 7u);
  EXPECT_EQ(records[0]["From"], "");
  EXPECT_EQ(records[0]["appName"], "Phone");

  CallDescription nothing;
  nothing.providerName.reset();
  nothing.providerBundleIdentifier.reset();
  setNow(localMs(2026, 12, 7, 10, 40));
  EXPECT_TRUE(board().deliverCallEvent(nothing));
  EXPECT_TRUE(board().deliverCallUpdate(nothing));
}

// ---------------------------------------------------------------- bulletins

TEST_F(BadInput, BulletinsWithoutContentSectionOrDateAreDecidedAsDocumented) {
  bootOn(blockedJane());
  {
    Diagnostics lines;
    // No title, subtitle or message: the sender is "Unknown", nobody's name.
    EXPECT_TRUE(board().deliverBulletin(BulletinDescription{kWhatsApp, {}, {}, {}, 0.0}));
    EXPECT_TRUE(lines.any({"CalmoraDebug: bulletin of net.whatsapp.WhatsApp without a title or subtitle, a message"}))
        << lines.all();
    // No section: no app whose switch could be on.
    BulletinDescription noSection = janeMessage();
    noSection.section.reset();
    EXPECT_TRUE(board().deliverBulletin(noSection));
    EXPECT_TRUE(lines.any({"CalmoraDebug: bulletin of (null) without a section"})) << lines.all();
  }
  EXPECT_EQ(readLog(names::kBlockedNotifPath).size(), 0u);

  // No date counts as brand new; no message is recorded as "Unknown".
  BulletinDescription noDate = janeMessage();
  noDate.date.reset();
  noDate.message.reset();
  Diagnostics lines;
  EXPECT_FALSE(board().deliverBulletin(noDate));
  auto records = readLog(names::kBlockedNotifPath);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].size(), 8u);
  EXPECT_EQ(records[0]["msg"], "Unknown");
  EXPECT_EQ(records[0]["From"], "Jane Roe");
  EXPECT_TRUE(lines.any({"CalmoraDebug: bulletin of net.whatsapp.WhatsApp without a message, a date"})) << lines.all();
}

}  // namespace
}  // namespace calmora::testing
