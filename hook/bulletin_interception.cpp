#include "hook/bulletin_interception.h"

#include "hook/bulletin_decision.h"
#include "common/names.h"
#include "hook/app_identity.h"
#include "hook/sender_matching.h"
#include "hook/host.h"
#include "common/log_store.h"
#include "hook/log_requests.h"
#include "hook/process_state.h"
#include "hook/text_forms.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/sound.h"

namespace calmora::bulletins {

namespace {

using platform::Text;
namespace sig = names::signal;

void suppress(const BulletinFacts& b, uint32_t sound) {
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
  DecisionState& state = decisionState();
  return decideBulletin(describe(bulletin), state.inputs(), *state.contactsNow()).outcome == Outcome::Stop;
}

// Applies the verdict: a stopped bulletin is never handed on, so it is not
// published at all.
void publishBulletin(const runtime::Id& self, runtime::Id bulletin, uint64_t destinations) {
  const BulletinFacts b = describe(hostapi::readBulletin(bulletin));
  reportMissing(b.fields);
  DecisionState& state = decisionState();
  const DecisionInputs d = state.inputs();
  const Verdict v = decideBulletin(b, d, *state.contactsNow());
  for (const std::string& line : v.reason) platform::logLine(line);
  if (v.outcome == Outcome::Stop) {
    suppress(b, d.loaded.selectedSound);
    return;
  }
  hostBindings().previous.publishBulletin(self, std::move(bulletin), destinations);
}

}  // namespace calmora::bulletins
