// The sender tests and the contact key answered from their indexes, held
// against a plain walk that does what the documentation says step by step,
// over generated settings files, address books and events.
#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <random>

#include "common/names.h"
#include "hook/app_identity.h"
#include "hook/contact_key_index.h"
#include "hook/sender_matching.h"
#include "hook/messaging_apps.h"
#include "hook/process_state.h"
#include "hook/rules.h"
#include "hook/settings_snapshot.h"
#include "hook/text_forms.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/clock.h"
#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

using platform::Text;
using platform::contacts::Contact;
using platform::contacts::ContactStore;
using platform::plist::Ref;

std::string lower(const std::string& s) { return QString::fromStdString(s).toLower().toStdString(); }
std::string upper(const std::string& s) { return QString::fromStdString(s).toUpper().toStdString(); }

// ---- the documented walk, literally ----------------------------------------
namespace literal {

std::string stripped(const std::string& identifier) {
  return QString::fromStdString(identifier).remove(QStringLiteral(":ABPerson")).toStdString();
}

bool fallback(const DecisionInputs& d, const Text& flagKey) {
  const auto& apps = d.messagingApps;
  return d.loaded.methodspecifier == 1 && flagKey &&
         std::find(apps.begin(), apps.end(), *flagKey) != apps.end();
}

// Step 4 of isNameBlocked and step 3.3 of isSocialBlocked.
std::optional<bool> walkKeys(const DecisionInputs& d, Ref settings, const std::string& identifier, const Text& flagKey) {
  for (const auto& key : settings.keys()) {
    if (!containsEither(Text(key), Text(stripped(identifier)))) continue;
    Ref entry = settings[key];
    if (flagKey && entry[*flagKey].truthy() && entry["isBlocked"].truthy())
      return d.loaded.methodspecifier == 0;
  }
  return std::nullopt;
}

bool isNameBlocked(const DecisionInputs& d, ContactStore& store, Ref settings, const Text& sender, const Text& flagKey) {
  for (const auto& c : store.contactsMatchingName(sender.value_or(""))) {
    const char* space = c->givenName.empty() || c->familyName.empty() ? "" : " ";
    if (!containsEither(sender, Text(c->givenName + space + c->familyName))) continue;
    if (auto decided = walkKeys(d, settings, c->identifier, flagKey)) return *decided;
  }
  return fallback(d, flagKey);
}

bool isSocialBlocked(const DecisionInputs& d, ContactStore& store, Ref settings, const Text& sender, const Text& appName,
                     const Text& flagKey) {
  for (const auto& c : *store.allContacts()) {
    if (c->phoneNumbers.empty()) continue;
    for (const auto& p : c->socialProfiles) {
      if (!containsEither(Text(lower(p.label)), appName) || !containsEither(Text(p.userName), sender)) continue;
      if (auto decided = walkKeys(d, settings, c->identifier, flagKey)) return *decided;
    }
  }
  return fallback(d, flagKey);
}

// The contact key of an identifier: the first key in the file's order that
// passes the loose match.
std::optional<std::string> contactKey(Ref settings, const Text& identifier) {
  for (const auto& key : settings.keys())
    if (containsEither(Text(key), identifier)) return key;
  return std::nullopt;
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
const std::vector<std::string> kApps = {"whatsapp", "messages", "signal", "facebook messenger", "messenger",
                                        "phone", "facetime audio", "", "twitter", "sig"};
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

  // Mostly long ones; short ones that are part of others, a Kelvin sign,
  // the suffix inside, none.
  std::string identifier() {
    const std::string n = std::to_string(below(5));
    char id[40];
    std::snprintf(id, sizeof id, "%08zX-%04zX-4A5B-9C8D-%012zu", below(1u << 20), below(1u << 16), below(1000));
    const std::vector<std::string> ids = {"A" + std::to_string(below(30)) + "-B", "", "\u00C4B-" + n, "\u212A-" + n,
                                          "k-" + n + ":ABPerson", id, id, id, id, id};
    return pick(ids) + (chance(0.8) ? ":ABPerson" : "");
  }

  // A key for a contact: its identifier as is, in another case, with text
  // around it, or a part of it.
  std::string keyFor(const Contact& c) {
    std::string id = literal::stripped(c.identifier);
    const std::vector<std::string> keys = {lower(id), "x" + id + "-old", id.substr(0, 1 + below(8)), upper(id), id};
    return chance(0.5) ? id : pick(keys);
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
      Contact c{identifier(), pick(kGiven), pick(kFamily), {}, {}};
      for (size_t p = below(3); p > 0; --p) c.phoneNumbers.push_back("+1 555 01" + std::to_string(below(100)));
      for (size_t p = below(3); p > 0; --p)
        c.socialProfiles.push_back({pick(kLabels), chance(0.2) ? lower(c.givenName) : pick(kUsers)});
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

  // Names of a contact whole, in part, reordered, in capitals or with more
  // around them; its profile's user name; nothing; strangers.
  Text sender(const World& w) {
    const Contact& c = pick(w.contacts);
    const std::string full = c.givenName + " " + c.familyName;
    const std::string user = c.socialProfiles.empty() ? "jdoe" : pick(c.socialProfiles).userName;
    const std::vector<Text> senders = {full, c.givenName, c.familyName, c.givenName.substr(0, 1 + below(3)),
                                       upper(full), c.familyName + " " + c.givenName, full + " Jr", user,
                                       "@" + lower(user) + "!", std::nullopt, std::string(""),
                                       std::string("Unknown"), pick(kUsers).substr(0, 2)};
    return pick(senders);
  }

  Text appName() { return chance(0.05) ? std::nullopt : Text(pick(kApps)); }

  // A sender and an app name drawn from one contact's profile half the
  // time, so that the profile walk reaches its key walk often.
  std::pair<Text, Text> socialQuery(const World& w) {
    const Contact& c = pick(w.contacts);
    if (c.socialProfiles.empty() || chance(0.5)) return {sender(w), appName()};
    const auto& p = pick(c.socialProfiles);
    Text app = chance(0.7) ? Text(lower(p.label)) : appName();
    return {chance(0.7) ? Text(p.userName) : sender(w), app};
  }

  Text flagKey() {
    if (chance(0.05)) return std::nullopt;
    return chance(0.7) ? pick(kSections) : pick(kCallSwitches);
  }

 private:
  std::mt19937 rng_;
};

SettingsContent snapshotOf(const Value& settings) {
  auto s = std::make_shared<platform::plist::CachedDictionary::Snapshot>();
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
  void mode(int m) { loaded.snapshot.methodspecifier = m; }
  Loaded loaded;
};

TEST_F(SenderTests, GeneratedWorldsAnswerAsTheWalk) {
  Generator gen(20261207);
  size_t byName = 0, bySocial = 0, total = 0;
  for (int round = 0; round < 400; ++round) {
    World w = gen.world();
    auto store = platform::contacts::makeFixedStore(w.contacts);
    auto settings = snapshotOf(w.settings);
    ContactIndex index(settings, listOf(w.contacts));
    for (int q = 0; q < 40; ++q) {
      mode(static_cast<int>(gen.below(3)));
      const DecisionInputs d = loaded.inputs();
      Text sender = gen.sender(w), flag = gen.flagKey();
      Text id = gen.chance(0.1) ? std::nullopt : Text(literal::stripped(gen.pick(w.contacts).identifier));
      ASSERT_EQ(index.contactKeyIndex().find(id), literal::contactKey(w.settings.ref(), id)) << objectText(id);
      Reason reason;
      bool fastName = index.isNameBlocked(d, sender, flag, reason);
      bool slowName = literal::isNameBlocked(d, *store, w.settings.ref(), sender, flag);
      auto [user, app] = gen.socialQuery(w);
      bool fastSocial = index.isSocialBlocked(d, user, app, flag, reason);
      bool slowSocial = literal::isSocialBlocked(d, *store, w.settings.ref(), user, app, flag);
      ASSERT_EQ(std::pair(fastName, fastSocial), std::pair(slowName, slowSocial))
          << "round " << round << " sender " << objectText(sender) << " user " << objectText(user) << " app "
          << objectText(app) << " flag " << objectText(flag) << " mode " << d.loaded.methodspecifier << "\n"
          << platform::plist::toXml(w.settings.ref());
      // Count answers that a listed contact gave, not the mode's fallback.
      bool fallbackAnswer = literal::fallback(d, flag);
      byName += slowName != fallbackAnswer;
      bySocial += slowSocial != fallbackAnswer;
      ++total;
    }
  }
  // The generator must reach listed contacts both ways, not only the
  // fallback.
  EXPECT_GT(byName, total / 20);
  EXPECT_GT(bySocial, total / 100);
}

// A profile user name and a given name of 64 KiB: the index stays linear in
// them and answers as the walk does.
TEST_F(SenderTests, LongNamesAreDecidedAsTheWalkDecides) {
  std::string name(64 << 10, 'a');
  name.back() = 'b';
  World w;
  w.contacts.push_back(Contact{"LONG-0001:ABPerson", name, "Roe", {"+1 555 0101"}, {{"WhatsApp", name}}});
  w.settings.set("LONG-0001", std::move(Entry().blocked().on("net.whatsapp.WhatsApp").value));
  auto store = platform::contacts::makeFixedStore(w.contacts);
  ContactIndex index(snapshotOf(w.settings), listOf(w.contacts));
  const Text app = std::string("whatsapp"), flag = std::string("net.whatsapp.WhatsApp");
  for (int m : {0, 1}) {
    mode(m);
    const DecisionInputs d = loaded.inputs();
    for (const auto& [sender, listed] :
         {std::pair{name, true}, {name.substr(100), true}, {upper(name), true}, {name + " Roe", true},
          {"aab", true}, {std::string(1000, 'a') + "c", false}, {name.substr(0, name.size() - 1) + "c", false}}) {
      SCOPED_TRACE(sender.substr(0, 8) + "... of " + std::to_string(sender.size()) + " bytes");
      Reason reason;
      EXPECT_EQ(index.isSocialBlocked(d, sender, app, flag, reason), literal::isSocialBlocked(d, *store, w.settings.ref(), sender, app, flag));
      EXPECT_EQ(index.isNameBlocked(d, sender, flag, reason), literal::isNameBlocked(d, *store, w.settings.ref(), sender, flag));
      if (m == 0) {
        EXPECT_EQ(index.isSocialBlocked(d, sender, app, flag, reason), listed);
      }
    }
  }
}

// ---- whole events through the home screen ---------------------------------
// Bulletins and calls, each left as it came or suppressed, with what a
// suppression leaves behind, over settings files rewritten round by round.
class GeneratedEvents : public HookDevice {
 protected:
  struct Outcome {
    bool handedOn = true;
    std::optional<LogRecord> record;
    std::vector<std::string> postings;
    std::vector<uint32_t> sounds;
    uint64_t callsEnded = 0;
    std::string published;  // a bulletin handed on, as the platform shows it
    bool operator==(const Outcome&) const = default;
  };

  static std::string describe(const Outcome& o) {
    std::string s = std::string("handedOn=") + (o.handedOn ? "1" : "0") + " ended=" + std::to_string(o.callsEnded) +
                    " sounds=" + std::to_string(o.sounds.size()) + " published=" + o.published + " postings=";
    for (const auto& n : o.postings) s += n + ",";
    if (o.record)
      for (const auto& [k, v] : *o.record) s += " " + k + "=" + (k == "iconData" ? std::to_string(v.size()) : v);
    return s;
  }

  // What a blocked event leaves: its record, the sound, the three postings.
  static Outcome blocked(const char* unreadSignal, LogRecord record) {
    record.insert({{"Date", "10:30:00 07-12-2026"}, {"isRead", "false"}});
    return {false, std::move(record), {"com.veltrane.calmo/show", unreadSignal, "com.veltrane.calmo/tableRefresh"},
            {1005}};
  }


  // What the documented bulletin walk does with this world.
  Outcome expectedBulletin(const DecisionInputs& d, ContactStore& store, Ref settings,
                           const platform::springboard::BulletinDescription& b) {
    auto nonEmpty = [](const Text& t) { return t && !t->empty(); };
    std::string sender = nonEmpty(b.title) ? *b.title : "Unknown";
    if (b.section == "net.whatsapp.WhatsApp" && nonEmpty(b.subtitle)) sender = *b.subtitle;
    for (const auto& key : settings.keys()) {
      if (key.find('-') == std::string::npos) continue;
      const bool byName = literal::isNameBlocked(d, store, settings, sender, b.section);
      const bool bySocial =
          literal::isSocialBlocked(d, store, settings, sender, lowercased(appDisplayName(b.section)), b.section);
      // The one departure from the walk: in whitelist mode a listed contact
      // found by either test lets the bulletin through.
      if (!(d.loaded.methodspecifier == 1 ? byName && bySocial : byName || bySocial)) continue;
      double interval = b.date ? *b.date - static_cast<double>(platform::clock::nowMs()) / 1000.0 : 0;
      if (interval <= -2.0 && b.section != "com.apple.MobileSMS") continue;
      if (containsEither(b.section, Text("com.apple.donotdisturb")) ||
          containsEither(b.section, Text("com.apple.mobilephone")))
        continue;
      Reason reason;
      if (!isTimeNow(settings, key, d, reason)) continue;
      Text appName = appDisplayName(b.section);
      // The departure from the walk's text: no "(null)" for an app without
      // a display name.
      Text shownName = nonEmpty(appName) ? appName : nonEmpty(b.section) ? b.section : Text("Unknown");
      std::string from = nonEmpty(b.subtitle) ? *b.subtitle : sender;
      return blocked("com.veltrane.calmo/unreadNotif",
                     {{"Data", *shownName + " notification from " + from}, {"appBID", b.section.value_or("")},
                      {"iconData", appIconData(b.section).value_or("")}, {"appName", appName.value_or("")},
                      {"msg", nonEmpty(b.message) ? *b.message : "Unknown"}, {"From", from}});
    }
    Outcome handedOn;
    handedOn.published = shown(b.section, b.title, b.subtitle, b.message);
    return handedOn;
  }
  static std::string shown(const Text& section, const Text& title, const Text& subtitle, const Text& message) {
    return section.value_or("") + "|" + title.value_or("") + "|" + subtitle.value_or("") + "|" + message.value_or("");
  }

  // What the documented call-event walk does; only the social test comes
  // from the index here, so the call side is held to that.
  Outcome expectedCall(const DecisionInputs& d, ContactStore& store, const SettingsContent& content,
                       const platform::springboard::CallDescription& c) {
    Ref settings = content->dict.ref();
    Text app = c.providerName, bid = c.providerBundleIdentifier;
    if (containsEither(app, Text("Facetime"))) {
      app = "FaceTime Audio";
      bid = "com.apple.facetime";
    }
    if (containsEither(app, Text("Telephony"))) app = "Phone";
    Text id = c.contactIdentifier ? Text(literal::stripped(*c.contactIdentifier)) : std::nullopt;
    Reason reason;
    if (!c.incoming || c.status != 4 ||
        (!checkContact(ContactKeyIndex(content), d, id, bid, reason) &&
         !literal::isSocialBlocked(d, store, settings, c.displayName, lowercased(app), objectText(bid) + "Call")))
      return {};
    Text icon = containsEither(app, Text("Phone")) ? Text("com.apple.mobilephone") : bid;
    Outcome o = blocked("com.veltrane.calmo/unreadCall",
                        {{"Data", objectText(app) + " Call from " + objectText(c.displayName)},
                         {"appBID", bid.value_or("")}, {"iconData", appIconData(icon).value_or("")},
                         {"From", c.displayName.value_or("")}, {"appName", app.value_or("")}});
    o.callsEnded = 1;
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
    // The record keeps only the latest sounds; the count says how many are new.
    o.sounds.assign(snap.sounds.end() - static_cast<long>(snap.soundsCount - snapBefore.soundsCount),
                    snap.sounds.end());
    o.callsEnded = snap.callsEnded - snapBefore.callsEnded;
    if (snap.publishedCount > snapBefore.publishedCount) {
      const auto& p = snap.published.back();
      o.published = shown(p.section, p.title, p.subtitle, p.message);
    }
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
    decisionState().snapshot.methodspecifier = static_cast<int>(gen.below(2));
    decisionState().snapshot.ignoretime = gen.chance(0.5);
    // Every blocked call is more than a second after the previous one.
    decisionState().sameCall.forget();
    const auto settings = settingsNow();
    const DecisionInputs d = decisionState().inputs();
    for (int e = 0; e < 6; ++e, ++events) {
      SCOPED_TRACE("round " + std::to_string(round) + " event " + std::to_string(e));
      if (gen.chance(0.6)) {
        platform::springboard::BulletinDescription b;
        b.section = gen.chance(0.95) ? Text(gen.pick(kSections)) : std::nullopt;
        b.title = gen.sender(w);
        b.subtitle = gen.chance(0.3) ? gen.sender(w) : Text(std::string(""));
        b.message = gen.chance(0.8) ? Text("message " + std::to_string(e)) : std::nullopt;
        static const std::vector<double> ages = {0, 1.9, 2.0, 30, -5};
        if (gen.chance(0.95)) b.date = now - gen.pick(ages);
        Outcome want = expectedBulletin(d, *store, settings->dict.ref(), b);
        Outcome got = observe(names::kBlockedNotifPath, [&] { return board().deliverBulletin(b); });
        ASSERT_EQ(got, want) << "got  " << describe(got) << "\nwant " << describe(want);
        suppressed += !want.handedOn;
      } else {
        platform::springboard::CallDescription c;
        c.displayName = gen.sender(w);
        if (gen.chance(0.7)) c.contactIdentifier = gen.pick(w.contacts).identifier;
        static const std::vector<std::string> providers = {"Telephony", "FaceTime", "WhatsApp", "facetime"};
        c.providerName = gen.pick(providers);
        c.providerBundleIdentifier = gen.chance(0.5) ? "com.apple.mobilephone" : "net.whatsapp.WhatsApp";
        c.status = gen.chance(0.8) ? 4 : 1;
        c.incoming = gen.chance(0.9);
        Outcome want = expectedCall(d, *store, settings, c);
        Outcome got = observe(names::kBlockedCallsPath, [&] { return board().deliverCallEvent(c); });
        ASSERT_EQ(got, want) << "got  " << describe(got) << "\nwant " << describe(want);
        blockedCalls += !want.handedOn;
        decisionState().sameCall.forget();
      }
    }
  }
  // Both outcomes must occur often enough for the comparison to mean much.
  EXPECT_GT(suppressed, events / 20);
  EXPECT_GT(blockedCalls, events / 40);
}

// The walk skips these sections before it looks at anybody, and a record
// names an app without a display name (not installed) by its section;
// generated events seldom reach either with a contact who is blocked.
TEST_F(GeneratedEvents, PhoneAndDoNotDisturbSectionsAreNeverSuppressedAndAnUnnamedAppIsNamedByItsSection) {
  const char* sections[] = {"com.apple.mobilephone", "COM.APPLE.DONOTDISTURB", "com.apple", "apple.mobilephone",
                            "com.apple.mobilephone.extra", "org.example.unnamed"};
  Entry john = Entry().blocked();
  for (const char* s : sections) john.on(s);
  writeFile(platform::contacts::kAddressBookPath, vcards({{"A1B2C3D4-0001", "John", "Smith", {}}}));
  boot(settingsFile(0, true, {{"A1B2C3D4-0001", john}}));
  for (const char* s : sections)
    EXPECT_EQ(board().deliverBulletin({s, "John Smith", "", "hi", std::nullopt}), s != sections[5]) << s;
  auto log = readLog(names::kBlockedNotifPath);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["Data"], "org.example.unnamed notification from John Smith");
}

TEST_F(GeneratedEvents, WithoutAKeyHoldingADashNoBulletinIsSuppressed) {
  auto settings = settingsFile(1, true, {});
  settings.set("nodashkey", std::move(Entry().blocked().on("org.whispersystems.signal").value));
  boot(settings);
  const platform::springboard::BulletinDescription b{"org.whispersystems.signal", "Someone", {}, "hi", std::nullopt};
  EXPECT_TRUE(board().deliverBulletin(b));  // a stranger in a messaging app, whitelist mode
  writeSettings(settingsFile(1, true, {{"x-y", Entry()}}));
  EXPECT_FALSE(board().deliverBulletin(b));
}

}  // namespace
}  // namespace calmora::testing
