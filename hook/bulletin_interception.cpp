#include "hook/bulletin_interception.h"

#include "common/names.h"
#include "hook/app_identity.h"
#include "hook/sender_matching.h"
#include "hook/host.h"
#include "common/log_store.h"
#include "hook/log_requests.h"
#include "hook/process_state.h"
#include "hook/rules.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/sound.h"

namespace calmora::bulletins {

namespace {

using platform::Text;
namespace sig = names::signal;

constexpr std::string_view kMessages = "com.apple.MobileSMS";
constexpr std::string_view kWhatsApp = "net.whatsapp.WhatsApp";
// A bulletin older than this is one published again, not a new message.
constexpr double kMaxAgeSeconds = 2.0;

bool nonEmpty(const Text& t) { return t && !t->empty(); }

struct Bulletin {
  hostapi::BulletinFields fields;
  std::string sender;   // what the contact tests match
  std::string message;
};

Bulletin describe(const hostapi::BulletinFields& fields) {
  Bulletin b{fields, {}, {}};
  const auto& f = b.fields;
  b.sender = nonEmpty(f.title) ? *f.title : std::string(names::record::kUnknown);
  if (f.sectionID == kWhatsApp && nonEmpty(f.subtitle)) b.sender = *f.subtitle;
  b.message = nonEmpty(f.message) ? *f.message : std::string(names::record::kUnknown);
  return b;
}

// The walk over the contact keys: the contact, age and section tests do not
// depend on the key, so they are asked once; the first key whose schedule is
// in force decides.
bool suppressing(const Bulletin& b, const Decision& d, const ContactIndex& index) {
  if (index.contactKeys().empty()) return false;

  const Text sender(b.sender);
  const Text& section = b.fields.sectionID;
  auto bySocial = [&] { return index.isSocialBlocked(d, sender, lowercased(appDisplayName(section)), section); };
  const bool byName = index.isNameBlocked(d, sender, section);
  // In whitelist mode "false" means a listed contact was found, by either
  // test, and lets the bulletin through; in the other modes either test
  // blocks.
  const bool whitelist = d.loaded.methodspecifier == 1;
  if (whitelist ? !(byName && bySocial()) : !(byName || bySocial())) return false;

  // A bulletin without a date answers an interval of 0, as a nil date does.
  double interval =
      b.fields.date ? *b.fields.date - static_cast<double>(d.nowMs) / 1000.0 : 0.0;
  if (!(interval > -kMaxAgeSeconds) && section != kMessages) return false;

  if (containsEither(section, Text("com.apple.donotdisturb")) || containsEither(section, Text("com.apple.mobilephone")))
    return false;

  return index.firstContactKeyInForce(d).has_value();
}

void suppress(const Bulletin& b, uint32_t sound) {
  auto& center = platform::defaultCenter();
  center.post(sig::kShow);

  platform::sound::disposeSystemSound(sound);
  platform::sound::playSystemSound(sound);

  const Text& section = b.fields.sectionID;
  logs::NotificationRecord record;
  record.iconData = appIconData(section);
  record.from = nonEmpty(b.fields.subtitle) ? *b.fields.subtitle : b.sender;
  record.appName = appDisplayName(section);
  // A person reads this text: an app without a display name is named by
  // its bundle identifier rather than "(null)".
  const Text& shownName = nonEmpty(record.appName) ? record.appName : section;
  record.data = (nonEmpty(shownName) ? *shownName : std::string(names::record::kUnknown)) + " notification from " +
                objectText(record.from);
  record.date = logs::currentDateText();
  record.appBID = section;
  record.msg = b.message;
  logs::writeRecord(std::move(record));

  center.post(sig::kUnreadNotif);
  center.post(sig::kTableRefresh);
}

// A bulletin without what the decision reads is decided as documented (the
// sender "Unknown", no app whose switch could be on, a missing date as
// now); the line says what was missing.
void reportMissing(const hostapi::BulletinFields& f) {
  std::string missing;
  auto add = [&](const char* what) { missing += (missing.empty() ? "" : ", ") + std::string(what); };
  if (!nonEmpty(f.sectionID)) add("a section");
  if (!nonEmpty(f.title) && !nonEmpty(f.subtitle)) add("a title or subtitle");
  if (!nonEmpty(f.message)) add("a message");
  if (!f.date) add("a date");
  if (!missing.empty()) platform::log("CalmoraDebug: bulletin of ", objectText(f.sectionID), " without ", missing);
}

}  // namespace

bool shouldSuppress(const hostapi::BulletinFields& bulletin) {
  ProcessState& p = process();
  return suppressing(describe(bulletin), p.decision(), *p.contactsNow());
}

void publishBulletin(const runtime::Id& self, runtime::Id bulletin, uint64_t destinations) {
  Bulletin b = describe(hostapi::readBulletin(bulletin));
  reportMissing(b.fields);
  ProcessState& p = process();
  const Decision d = p.decision();
  if (suppressing(b, d, *p.contactsNow())) {
    suppress(b, d.loaded.selectedSound);
    return;  // never handed on: the bulletin is not published at all
  }
  p.previous.publishBulletin(self, std::move(bulletin), destinations);
}

}  // namespace calmora::bulletins
