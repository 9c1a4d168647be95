// The sender tests answered from the index, held against a plain walk that
// does what the documentation says step by step: hand-picked cases first,
// then generated settings files, address books and events.
#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <random>

#include "common/names.h"
#include "hook/app_identity.h"
#include "hook/contact_tests.h"
#include "hook/messaging_apps.h"
#include "hook/process_state.h"
#include "hook/rules.h"
#include "hook/settings_snapshot.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/clock.h"
#include "tests/hook/device_support.h"
#include "tests/hook/interception_support.h"

namespace calmora::testing {
namespace {

using host::Text;
using platform::contacts::Contact;
using platform::contacts::ContactStore;
using platform::plist::Ref;

// ---- the documented walk, literally ----------------------------------------
namespace literal {

std::string stripped(const std::string& identifier) {
  return QString::fromStdString(identifier).remove(QStringLiteral(":ABPerson")).toStdString();
}

bool fallback(const Text& flagKey) {
  const auto& apps = process().messagingApps;
  return process().snapshot.methodspecifier == 1 && flagKey &&
         std::find(apps.begin(), apps.end(), *flagKey) != apps.end();
}

// Step 4 of isNameBlocked and step 3.3 of isSocialBlocked.
std::optional<bool> walkKeys(Ref settings, const std::string& identifier, const Text& flagKey) {
  for (const auto& key : settings.keys()) {
    if (!containsEither(Text(key), Text(stripped(identifier)))) continue;
    Ref entry = settings[key];
    if (flagKey && entry[*flagKey].truthy() && entry["isBlocked"].truthy())
      return process().snapshot.methodspecifier == 0;
  }
  return std::nullopt;
}

bool isNameBlocked(ContactStore& store, Ref settings, const Text& sender, const Text& flagKey) {
  for (const auto& c : store.contactsMatchingName(sender.value_or(""))) {
    std::string name;
    if (!c->givenName.empty() && !c->familyName.empty()) name = c->givenName + " " + c->familyName;
    else if (!c->givenName.empty()) name = c->givenName;
    else name = c->familyName;
    if (!containsEither(sender, Text(name))) continue;
    if (auto decided = walkKeys(settings, c->identifier, flagKey)) return *decided;
  }
  return fallback(flagKey);
}

bool isSocialBlocked(ContactStore& store, Ref settings, const Text& sender, const Text& appName,
                     const Text& flagKey) {
  for (const auto& c : *store.allContacts()) {
    if (c->phoneNumbers.empty()) continue;
    for (const auto& p : c->socialProfiles) {
      std::string label = QString::fromStdString(p.label).toLower().toStdString();
      if (!containsEither(Text(label), appName)) continue;
      if (!containsEither(Text(p.userName), sender)) continue;
      if (auto decided = walkKeys(settings, c->identifier, flagKey)) return *decided;
    }
  }
  return fallback(flagKey);
}

}  // namespace literal

// ---- generated worlds -------------------------------------------------------
// Small pools that collide often: names that are prefixes of each other,
// letter cases, composed and decomposed accents, a Kelvin sign that folds to
// "k", keys that hold identifiers or are held by them, empty texts.
const std::vector<std::string> kGiven = {"John", "Jo", "Johanna", "anne", "Ann", "Émile", "E\u0301mile", "Zoë",
                                         "Mary Ann", "", "Kai", "\u212Aai", "null"};
const std::vector<std::string> kFamily = {"Smith", "Smithers", "Berg", "van der Berg", "O'Brien", "", "Müller",
                                          "MÜLLER", "smith"};
const std::vector<std::string> kLabels = {"WhatsApp", "whatsapp", "Signal", "Facebook Messenger", "Messages",
                                          "phone", "Phone", "", "twitter", "SIG"};
const std::vector<std::string> kUsers = {"jdoe", "JDoe", "doe", "john.smith", "anne", "", "zoë", "smith", "null",
                                         "\u212Aai", "kai"};
const std::vector<std::string> kSections = {
    "com.apple.MobileSMS", "net.whatsapp.WhatsApp", "org.whispersystems.signal", "com.facebook.Messenger",
    "com.apple.mobilemail", "com.apple.mobilephone", "com.apple", "com.apple.donotdisturb", "com.example.unknown"};
const std::vector<std::string> kCallSwitches = {"com.apple.mobilephoneCall", "com.apple.facetimeCall", "(null)Call",
                                                "net.whatsapp.WhatsAppCall"};
const std::vector<std::string> kWindows = {"08:00-17:00", "10:30-11:00", "10:29-10:31", "22:00-06:00",
                                           "",            "garbage",     "00:00-23:59", "11:00-12:00"};

struct World {
  std::vector<Contact> contacts;
  Value settings = Value::dict();
};

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  template <class T>
  const T& pick(const std::vector<T>& v) { return v[below(v.size())]; }

  std::string identifier() {
    char buf[64];
    switch (below(10)) {
      case 0: std::snprintf(buf, sizeof buf, "A%zu-B", below(30)); break;  // short, part of others
      case 1: return "";
      case 2: std::snprintf(buf, sizeof buf, "\u00C4B-%zu", below(5)); break;
      case 3: std::snprintf(buf, sizeof buf, "\u212A-%zu", below(5)); break;  // Kelvin sign
      case 4: std::snprintf(buf, sizeof buf, "k-%zu:ABPerson", below(5)); break;  // suffix inside
      default:
        std::snprintf(buf, sizeof buf, "%08zX-%04zX-4A5B-9C8D-%012zu", below(1u << 20), below(1u << 16), below(1000));
    }
    return std::string(buf) + (chance(0.8) ? ":ABPerson" : "");
  }

  // A key for a contact: its identifier as is, in another case, with text
  // around it, or a part of it.
  std::string keyFor(const Contact& c) {
    std::string id = literal::stripped(c.identifier);
    switch (below(8)) {
      case 0: return QString::fromStdString(id).toLower().toStdString();
      case 1: return "x" + id + "-old";
      case 2: return id.substr(0, std::min<size_t>(id.size(), 1 + below(8)));
      case 3: return QString::fromStdString(id).toUpper().toStdString();
      default: return id;
    }
  }

  Value entry() {
    auto e = Value::dict();
    switch (below(8)) {
      case 0: e.set("isBlocked", Value::boolean(false)); break;
      case 1: e.set("isBlocked", Value::integer(1)); break;
      case 2: break;
      default: e.set("isBlocked", Value::boolean(true));
    }
    for (const auto* pool : {&kSections, &kCallSwitches})
      for (const auto& flag : *pool)
        if (chance(0.5)) e.set(flag, Value::boolean(chance(0.8)));
    for (int day = 1; day <= 7; ++day)
      if (chance(0.4)) {
        e.set("weekday" + std::to_string(day), Value::boolean(chance(0.8)));
        if (chance(0.9)) e.set("weekdayHour" + std::to_string(day), Value::string(pick(kWindows)));
      }
    return e;
  }

  World world() {
    World w;
    size_t n = 1 + below(25);
    for (size_t i = 0; i < n; ++i) {
      Contact c;
      c.identifier = identifier();
      c.givenName = pick(kGiven);
      c.familyName = pick(kFamily);
      for (size_t p = below(3); p > 0; --p) c.phoneNumbers.push_back("+1 555 01" + std::to_string(below(100)));
      for (size_t p = below(3); p > 0; --p) {
        std::string user = chance(0.2) ? QString::fromStdString(c.givenName).toLower().toStdString() : pick(kUsers);
        c.socialProfiles.push_back({pick(kLabels), user});
      }
      w.contacts.push_back(std::move(c));
    }
    if (chance(0.3) && n > 1) w.contacts.push_back(w.contacts[below(n)]);  // a duplicated card
    w.settings.set("isTweakEnabled", Value::boolean(true));
    w.settings.set("sound", Value::string("1005"));
    for (const auto& c : w.contacts)
      if (chance(0.6)) w.settings.set(keyFor(c), entry());
    for (const char* odd : {"null", "snull", "", "-", "\u212A", "6F"})
      if (chance(0.1)) w.settings.set(odd, entry());
    return w;
  }

  Text sender(const World& w) {
    const Contact& c = pick(w.contacts);
    auto lower = [](const std::string& s) { return QString::fromStdString(s).toLower().toStdString(); };
    switch (below(13)) {
      case 0: return c.givenName + " " + c.familyName;
      case 1: return c.givenName;
      case 2: return c.familyName;
      case 3: return c.givenName.substr(0, std::min<size_t>(c.givenName.size(), 1 + below(3)));
      case 4: return QString::fromStdString(c.givenName + " " + c.familyName).toUpper().toStdString();
      case 5: return c.familyName + " " + c.givenName;
      case 6: return c.givenName + " " + c.familyName + " Jr";
      case 7:
        if (!c.socialProfiles.empty()) return pick(c.socialProfiles).userName;
        return "jdoe";
      case 8:
        if (!c.socialProfiles.empty()) return "@" + lower(pick(c.socialProfiles).userName) + "!";
        return "Zed Q";
      case 9: return std::nullopt;
      case 10: return std::string("");
      case 11: return std::string("Unknown");
      default: return pick(kUsers).substr(0, 2);
    }
  }

  Text appName() {
    static const std::vector<std::string> apps = {"whatsapp", "messages", "signal", "facebook messenger", "messenger",
                                                  "phone", "facetime audio", "", "twitter", "sig"};
    if (chance(0.05)) return std::nullopt;
    return pick(apps);
  }

  // A sender and an app name drawn from one contact's profile half the
  // time, so that the profile walk reaches its key walk often.
  std::pair<Text, Text> socialQuery(const World& w) {
    const Contact& c = pick(w.contacts);
    if (c.socialProfiles.empty() || chance(0.5)) return {sender(w), appName()};
    const auto& p = pick(c.socialProfiles);
    std::string label = QString::fromStdString(p.label).toLower().toStdString();
    Text app = chance(0.7) ? Text(label) : appName();
    Text user = chance(0.7) ? Text(p.userName) : sender(w);
    return {user, app};
  }

  Text flagKey() {
    if (chance(0.05)) return std::nullopt;
    return chance(0.7) ? pick(kSections) : pick(kCallSwitches);
  }

 private:
  std::mt19937 rng_;
};

std::shared_ptr<const ContactIndex::SettingsSnapshot> snapshotOf(const Value& settings) {
  auto s = std::make_shared<ContactIndex::SettingsSnapshot>();
  s->dict = settings.ref().copy();
  s->state = platform::plist::ReadState::Ok;
  return s;
}

std::shared_ptr<const ContactIndex::ContactList> listOf(const std::vector<Contact>& contacts) {
  auto list = std::make_shared<ContactIndex::ContactList>();
  for (const auto& c : contacts) list->push_back(std::make_shared<const Contact>(c));
  return list;
}

// The mode and the messaging-app list, as the load-time steps leave them.
class SenderTests : public ::testing::Test {
 protected:
  void SetUp() override { process().messagingApps = buildMessagingApps(); }
  void TearDown() override { resetProcessStateForTesting(); }
  void mode(int m) { process().snapshot.methodspecifier = m; }
};

// John Smith is listed for Signal through a key that holds his identifier
// with text around it; Anne Berg has an entry without "isBlocked".
World handWorld() {
  World w;
  w.contacts.push_back({"A1B2-C3:ABPerson", "John", "Smith", {"+1"}, {{"Signal", "jsmith"}, {"Twitter", "jotwit"}}});
  w.contacts.push_back({"B7:ABPerson", "Anne", "Berg", {"+2"}, {{"Signal", "anneb"}}});
  w.contacts.push_back({"C9:ABPerson", "Zoe", "Quinn", {}, {{"Signal", "zq"}}});  // no phone number
  w.contacts.push_back({"", "Nora", "", {"+4"}, {{"Signal", ""}}});               // no identifier
  w.settings.set("methodspecifier", Value::integer(0));
  w.settings.set("old-A1B2-C3!", std::move(Entry().blocked().on("org.whispersystems.signal").value));
  w.settings.set("B7-x", std::move(Entry().on("org.whispersystems.signal").value));
  w.settings.set("C9", std::move(Entry().blocked().on("org.whispersystems.signal").value));
  return w;
}

TEST_F(SenderTests, ANameMatchNeedsTheStoresPredicateAndAMatchOfTheSenderWithTheComposedName) {
  World w = handWorld();
  ContactIndex index(snapshotOf(w.settings), listOf(w.contacts));
  const Text signal("org.whispersystems.signal");
  mode(0);
  EXPECT_TRUE(index.isNameBlocked(Text("John Smith"), signal));
  EXPECT_TRUE(index.isNameBlocked(Text("jo"), signal));      // a prefix, and part of "John Smith"
  EXPECT_TRUE(index.isNameBlocked(Text("SMITH"), signal));
  EXPECT_FALSE(index.isNameBlocked(Text("Smith John"), signal));  // found by the store, but no part of the name
  EXPECT_FALSE(index.isNameBlocked(Text("Jo Sm"), signal));
  EXPECT_FALSE(index.isNameBlocked(Text("John Smithers"), signal));  // not found by the store
  EXPECT_FALSE(index.isNameBlocked(Text("ohn"), signal));  // part of the name, not a prefix of a word
  EXPECT_FALSE(index.isNameBlocked(Text("Anne Berg"), signal));  // entry without "isBlocked"
  EXPECT_FALSE(index.isNameBlocked(Text("John Smith"), Text("com.apple.MobileSMS")));  // switch not on
  EXPECT_FALSE(index.isNameBlocked(Text("John Smith"), std::nullopt));
  EXPECT_FALSE(index.isNameBlocked(std::nullopt, signal));

  mode(1);  // a listed contact is let through; strangers only in messaging apps
  EXPECT_FALSE(index.isNameBlocked(Text("John Smith"), signal));
  EXPECT_TRUE(index.isNameBlocked(Text("Anne Berg"), signal));
  EXPECT_TRUE(index.isNameBlocked(Text("Zed"), signal));
  EXPECT_FALSE(index.isNameBlocked(Text("Zed"), Text("com.apple.mobilemail")));
  EXPECT_FALSE(index.isNameBlocked(Text("Zed"), Text("org.whispersystems.signalCall")));
  mode(2);
  EXPECT_FALSE(index.isNameBlocked(Text("John Smith"), signal));
  EXPECT_FALSE(index.isNameBlocked(Text("Zed"), signal));
}

TEST_F(SenderTests, ASocialMatchNeedsAPhoneNumberTheLabelAndTheUserName) {
  World w = handWorld();
  ContactIndex index(snapshotOf(w.settings), listOf(w.contacts));
  const Text signal("org.whispersystems.signal");
  mode(0);
  EXPECT_TRUE(index.isSocialBlocked(Text("jsmith"), Text("signal"), signal));
  EXPECT_TRUE(index.isSocialBlocked(Text("JSMITH"), Text("signal"), signal));
  EXPECT_TRUE(index.isSocialBlocked(Text("smi"), Text("signal"), signal));              // part of the user name
  EXPECT_TRUE(index.isSocialBlocked(Text("@jsmith on Signal"), Text("signal"), signal));  // holds it
  EXPECT_TRUE(index.isSocialBlocked(Text("jsmith"), Text("sig"), signal));  // the label holds the app name
  EXPECT_TRUE(index.isSocialBlocked(Text("jsmith"), Text("signal private messenger"), signal));
  EXPECT_FALSE(index.isSocialBlocked(Text("jsmith"), Text("whatsapp"), signal));
  EXPECT_FALSE(index.isSocialBlocked(Text("jotwit"), Text("signal"), signal));  // Twitter's user name
  EXPECT_FALSE(index.isSocialBlocked(Text("zq"), Text("signal"), signal));      // Zoe has no phone
  EXPECT_FALSE(index.isSocialBlocked(Text("anneb"), Text("signal"), signal));   // not "isBlocked"
  EXPECT_FALSE(index.isSocialBlocked(Text("jsmith"), Text("signal"), Text("com.apple.MobileSMS")));
  mode(1);
  EXPECT_FALSE(index.isSocialBlocked(Text("jsmith"), Text("signal"), signal));
  EXPECT_TRUE(index.isSocialBlocked(Text("someone"), Text("signal"), signal));
}

TEST_F(SenderTests, KeysMatchIdentifiersByContainmentEitherWayAndEmptyTextsByTheirStandIns) {
  World w;
  w.contacts.push_back({"6F1C-0001:ABPerson", "Ida", "", {"+1"}, {}});
  w.contacts.push_back({"", "Nora", "", {"+1"}, {}});               // stands in as "imalsonull"
  w.contacts.push_back({"K-7:ABPerson", "Kim", "", {"+1"}, {}});    // a Kelvin-sign key below
  const std::string flag = "com.apple.MobileSMS";
  w.settings.set("6f1c", std::move(Entry().blocked().on(flag).value));       // a part, other case
  w.settings.set("alsonull", std::move(Entry().blocked().on(flag).value));   // a part of "imalsonull"
  w.settings.set("\u212A-7", std::move(Entry().blocked().on(flag).value));
  auto store = platform::contacts::makeFixedStore(w.contacts);
  ContactIndex index(snapshotOf(w.settings), listOf(w.contacts));
  mode(0);
  EXPECT_TRUE(index.isNameBlocked(Text("Ida"), Text(flag)));
  EXPECT_TRUE(index.isNameBlocked(Text("Nora"), Text(flag)));
  // Whatever containsEither makes of the Kelvin sign, the index agrees.
  EXPECT_EQ(index.isNameBlocked(Text("Kim"), Text(flag)),
            literal::isNameBlocked(*store, w.settings.ref(), Text("Kim"), Text(flag)));
  EXPECT_EQ(index.relevantContactCount(), index.isNameBlocked(Text("Kim"), Text(flag)) ? 3u : 2u);
}

TEST_F(SenderTests, GeneratedWorldsAnswerAsTheWalk) {
  Generator gen(20261207);
  size_t byName = 0, bySocial = 0, total = 0;
  for (int round = 0; round < 400; ++round) {
    World w = gen.world();
    auto store = platform::contacts::makeFixedStore(w.contacts);
    ContactIndex index(snapshotOf(w.settings), listOf(w.contacts));
    for (int q = 0; q < 40; ++q) {
      mode(static_cast<int>(gen.below(3)));
      Text sender = gen.sender(w), flag = gen.flagKey();
      bool fastName = index.isNameBlocked(sender, flag);
      bool slowName = literal::isNameBlocked(*store, w.settings.ref(), sender, flag);
      auto [user, app] = gen.socialQuery(w);
      bool fastSocial = index.isSocialBlocked(user, app, flag);
      bool slowSocial = literal::isSocialBlocked(*store, w.settings.ref(), user, app, flag);
      ASSERT_EQ(fastName, slowName) << "round " << round << " sender " << objectText(sender) << " flag "
                                    << objectText(flag) << " mode " << process().snapshot.methodspecifier << "\n"
                                    << platform::plist::toXml(w.settings.ref());
      ASSERT_EQ(fastSocial, slowSocial) << "round " << round << " sender " << objectText(user) << " app "
                                        << objectText(app) << " flag " << objectText(flag) << "\n"
                                        << platform::plist::toXml(w.settings.ref());
      // Count answers that a listed contact gave, not the mode's fallback.
      bool fallbackAnswer = literal::fallback(flag);
      byName += slowName != fallbackAnswer;
      bySocial += slowSocial != fallbackAnswer;
      ++total;
    }
  }
  // The generator must reach listed contacts both ways, not only the
  // fallback.
  EXPECT_GT(byName, total / 20);
  EXPECT_GT(bySocial, total / 100);
  std::printf("decided by a contact: %zu by name, %zu by profile, of %zu\n", byName, bySocial, total);
}

// ---- whole events through the home screen ---------------------------------
class GeneratedEvents : public HookDevice {
 protected:
  void TearDown() override {
    HookDevice::TearDown();
    platform::contacts::setSharedStore(nullptr);
  }

  struct Outcome {
    bool handedOn = true;
    std::optional<LogRecord> record;
    std::vector<std::string> postings;
    std::vector<uint32_t> sounds;
    uint64_t callsEnded = 0;
    bool operator==(const Outcome&) const = default;
  };

  static std::string describe(const Outcome& o) {
    std::string s = std::string("handedOn=") + (o.handedOn ? "1" : "0") + " ended=" + std::to_string(o.callsEnded) +
                    " sounds=" + std::to_string(o.sounds.size()) + " postings=";
    for (const auto& n : o.postings) s += n + ",";
    if (o.record)
      for (const auto& [k, v] : *o.record) s += " " + k + "=" + (k == "iconData" ? std::to_string(v.size()) : v);
    return s;
  }

  // What the documented bulletin walk does with this world.
  Outcome expectedBulletin(ContactStore& store, Ref settings, const host::BulletinDescription& b) {
    auto nonEmpty = [](const Text& t) { return t && !t->empty(); };
    std::string sender = nonEmpty(b.title) ? *b.title : "Unknown";
    if (b.section == "net.whatsapp.WhatsApp" && nonEmpty(b.subtitle)) sender = *b.subtitle;
    Outcome o;
    for (const auto& key : settings.keys()) {
      if (key.find('-') == std::string::npos) continue;
      if (!literal::isNameBlocked(store, settings, sender, b.section) &&
          !literal::isSocialBlocked(store, settings, sender, lowercased(appDisplayName(b.section)), b.section))
        continue;
      double interval = b.date ? *b.date - static_cast<double>(platform::clock::nowMs()) / 1000.0 : 0;
      if (interval <= -2.0 && b.section != "com.apple.MobileSMS") continue;
      if (containsEither(b.section, Text("com.apple.donotdisturb")) ||
          containsEither(b.section, Text("com.apple.mobilephone")))
        continue;
      if (!isTimeNow(settings, key)) continue;
      o.handedOn = false;
      o.postings = {"com.veltrane.calmo/show", "com.veltrane.calmo/unreadNotif", "com.veltrane.calmo/tableRefresh"};
      o.sounds = {1005};
      Text appName = appDisplayName(b.section);
      std::string from = nonEmpty(b.subtitle) ? *b.subtitle : sender;
      o.record = LogRecord{{"Date", "10:30:00 07-12-2026"},
                           {"isRead", "false"},
                           {"Data", objectText(appName) + " notification from " + from},
                           {"appBID", b.section.value_or("")},
                           {"iconData", appIconData(b.section).value_or("")},
                           {"appName", appName.value_or("")},
                           {"msg", nonEmpty(b.message) ? *b.message : "Unknown"},
                           {"From", from}};
      break;
    }
    return o;
  }

  // What the documented call-event walk does; only the social test comes
  // from the index here, so the call side is held to that.
  Outcome expectedCall(ContactStore& store, Ref settings, const host::CallDescription& c) {
    Text app = c.providerName, bid = c.providerBundleIdentifier;
    if (containsEither(app, Text("Facetime"))) {
      app = "FaceTime Audio";
      bid = "com.apple.facetime";
    }
    if (containsEither(app, Text("Telephony"))) app = "Phone";
    std::string switchName = objectText(bid) + "Call";
    Text id = c.contactIdentifier ? Text(literal::stripped(*c.contactIdentifier)) : std::nullopt;
    Outcome o;
    if (!c.incoming) return o;
    if (!checkContact(id, bid) && !literal::isSocialBlocked(store, settings, c.displayName, lowercased(app),
                                                           Text(switchName)))
      return o;
    if (c.status != 4) return o;
    o.handedOn = false;
    o.callsEnded = 1;
    o.postings = {"com.veltrane.calmo/show", "com.veltrane.calmo/unreadCall", "com.veltrane.calmo/tableRefresh"};
    o.sounds = {1005};
    Text icon = containsEither(app, Text("Phone")) ? Text("com.apple.mobilephone") : bid;
    o.record = LogRecord{{"Date", "10:30:00 07-12-2026"},        {"isRead", "false"},
                         {"Data", objectText(app) + " Call from " + objectText(c.displayName)},
                         {"appBID", bid.value_or("")},           {"iconData", appIconData(icon).value_or("")},
                         {"From", c.displayName.value_or("")}, {"appName", app.value_or("")}};
    return o;
  }

  // Runs one event and gathers what it left behind.
  template <class Deliver>
  Outcome observe(std::string_view logPath, Deliver deliver) {
    size_t before = readLog(logPath).size();
    auto snapBefore = board().record().snapshot();
    takePosted();
    Outcome o;
    o.handedOn = deliver();
    auto after = readLog(logPath);
    if (after.size() > before) o.record = after.back();
    auto snap = board().record().snapshot();
    o.sounds.assign(snap.sounds.begin() + static_cast<long>(snapBefore.sounds.size()), snap.sounds.end());
    o.callsEnded = snap.callsEnded - snapBefore.callsEnded;
    o.postings = interceptionSignals(takePosted());
    return o;
  }
};

TEST_F(GeneratedEvents, BulletinsAndCallsEndAsTheDocumentedWalkSays) {
  Generator gen(7122026);
  boot(settingsFile(0, false, {}));
  const double now = static_cast<double>(HookDevice::localMs(2026, 12, 7, 10, 30)) / 1000.0;
  size_t suppressed = 0, blockedCalls = 0, events = 0;
  for (int round = 0; round < 60; ++round) {
    World w = gen.world();
    writeSettings(w.settings);
    auto store = platform::contacts::makeFixedStore(w.contacts);
    platform::contacts::setSharedStore(store);
    process().snapshot.methodspecifier = static_cast<int>(gen.below(2));
    process().snapshot.ignoretime = gen.chance(0.5);
    // Every blocked call is more than a second after the previous one.
    process().lastCalldate = 0;
    const auto settings = currentSettings();
    for (int e = 0; e < 6; ++e, ++events) {
      SCOPED_TRACE("round " + std::to_string(round) + " event " + std::to_string(e));
      if (gen.chance(0.6)) {
        host::BulletinDescription b;
        b.section = gen.chance(0.95) ? Text(gen.pick(kSections)) : std::nullopt;
        b.title = gen.sender(w);
        b.subtitle = gen.chance(0.3) ? gen.sender(w) : Text(std::string(""));
        b.message = gen.chance(0.8) ? Text("message " + std::to_string(e)) : std::nullopt;
        static const std::vector<double> ages = {0, 1.9, 2.0, 30, -5};
        if (gen.chance(0.95)) b.date = now - gen.pick(ages);
        Outcome want = expectedBulletin(*store, settings->dict.ref(), b);
        Outcome got = observe(names::kBlockedNotifPath, [&] { return board().deliverBulletin(b); });
        ASSERT_EQ(got, want) << "got  " << describe(got) << "\nwant " << describe(want);
        suppressed += !want.handedOn;
      } else {
        host::CallDescription c;
        c.displayName = gen.sender(w);
        if (gen.chance(0.7)) c.contactIdentifier = gen.pick(w.contacts).identifier;
        static const std::vector<std::string> providers = {"Telephony", "FaceTime", "WhatsApp", "facetime"};
        c.providerName = gen.pick(providers);
        c.providerBundleIdentifier = gen.chance(0.5) ? "com.apple.mobilephone" : "net.whatsapp.WhatsApp";
        c.status = gen.chance(0.8) ? 4 : 1;
        c.incoming = gen.chance(0.9);
        Outcome want = expectedCall(*store, settings->dict.ref(), c);
        Outcome got = observe(names::kBlockedCallsPath, [&] { return board().deliverCallEvent(c); });
        ASSERT_EQ(got, want) << "got  " << describe(got) << "\nwant " << describe(want);
        blockedCalls += !want.handedOn;
        process().lastCalldate = 0;
      }
    }
  }
  // Both outcomes must occur often enough for the comparison to mean much.
  EXPECT_GT(suppressed, events / 20);
  EXPECT_GT(blockedCalls, events / 40);
}

}  // namespace
}  // namespace calmora::testing
