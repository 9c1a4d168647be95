#include "hook/bulletin_decision.h"

#include <functional>
#include <optional>

#include "common/names.h"
#include "hook/app_identity.h"
#include "hook/loose_match.h"
#include "hook/text_forms.h"

namespace calmora::bulletins {

namespace {

using platform::Text;

constexpr std::string_view kMessages = "com.apple.MobileSMS";
constexpr std::string_view kWhatsApp = "net.whatsapp.WhatsApp";
// A bulletin older than this is one published again, not a new message.
constexpr double kMaxAgeSeconds = 2.0;

struct Walk {
  const BulletinFacts& bulletin;
  const DecisionInputs& inputs;
  const ContactIndex& index;
  Reason reason;
};
// A rule hands the bulletin on, or lets the next one ask.
using Rule = std::function<bool(Walk&)>;

// The walk over the contact keys: the contact, age and section tests do not
// depend on the key, so they are asked once; the first key whose schedule is
// in force decides.
const Rule kHandsOn[] = {
    [](Walk& w) { return w.index.contactKeys().empty(); },
    // In whitelist mode "false" means a listed contact was found, by either
    // test, and lets the bulletin through; in the other modes either test
    // blocks.
    [](Walk& w) {
      const Text sender(w.bulletin.sender);
      const Text& section = w.bulletin.fields.sectionID;
      auto bySocial = [&] {
        return w.index.isSocialBlocked(w.inputs, sender, lowercased(appDisplayName(section)), section, w.reason);
      };
      const bool byName = w.index.isNameBlocked(w.inputs, sender, section, w.reason);
      const bool whitelist = w.inputs.loaded.methodspecifier == 1;
      return whitelist ? !(byName && bySocial()) : !(byName || bySocial());
    },
    // A bulletin without a date answers an interval of 0, as a nil date does.
    [](Walk& w) {
      const auto& f = w.bulletin.fields;
      const double interval = f.date ? *f.date - static_cast<double>(w.inputs.nowMs) / 1000.0 : 0.0;
      return !(interval > -kMaxAgeSeconds) && f.sectionID != kMessages;
    },
    [](Walk& w) {
      const Text& section = w.bulletin.fields.sectionID;
      return containsEither(section, Text("com.apple.donotdisturb")) ||
             containsEither(section, Text("com.apple.mobilephone"));
    },
    [](Walk& w) { return !w.index.firstContactKeyInForce(w.inputs, w.reason).has_value(); },
};

}  // namespace

bool nonEmpty(const Text& t) { return t && !t->empty(); }

BulletinFacts describe(const hostapi::BulletinFields& fields) {
  BulletinFacts b{fields, {}, {}};
  const auto& f = b.fields;
  b.sender = nonEmpty(f.title) ? *f.title : std::string(names::record::kUnknown);
  if (f.sectionID == kWhatsApp && nonEmpty(f.subtitle)) b.sender = *f.subtitle;
  b.message = nonEmpty(f.message) ? *f.message : std::string(names::record::kUnknown);
  return b;
}

Verdict decideBulletin(const BulletinFacts& bulletin, const DecisionInputs& inputs, const ContactIndex& index) {
  Walk w{bulletin, inputs, index, {}};
  for (const Rule& handsOn : kHandsOn)
    if (handsOn(w)) return Verdict{Outcome::HandOn, std::move(w.reason)};
  return Verdict{Outcome::Stop, std::move(w.reason)};
}

}  // namespace calmora::bulletins
