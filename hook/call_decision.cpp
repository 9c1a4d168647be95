#include "hook/call_decision.h"

#include <functional>
#include <optional>

#include "common/names.h"
#include "hook/known_contacts.h"
#include "hook/loose_match.h"
#include "hook/rules.h"
#include "hook/text_forms.h"

namespace calmora::calls {

namespace {

using platform::Text;

constexpr int64_t kRingingStatus = 4;

// What the rules share while one call is decided: the reason so far, and
// whether the contact walk or an opt-in blocked the caller.
struct Walk {
  const CallFacts& call;
  const DecisionInputs& inputs;
  const ContactIndex& index;
  const RecentCallers& recent;
  Reason reason;
  bool blocked = false;
};

// A rule either decides (a verdict) or lets the next one ask.
using Rule = std::function<std::optional<Outcome>(Walk&)>;

// The unknown-callers rule's index, kept from decision to decision for the
// address book it was made from.
KnownContacts& knownContacts() {
  static KnownContacts known;
  return known;
}

std::optional<Outcome> handOn(Walk& w) {
  w.reason.emplace_back(kHandedOnLine);
  return Outcome::HandOn;
}

// In order: the bypass, the documented contact walk, the opt-ins, then what
// the walk found.
const Rule kRules[] = {
    // Outgoing calls are the user's own.
    [](Walk& w) -> std::optional<Outcome> {
      if (!w.call.fields.isIncoming) return handOn(w);
      return std::nullopt;
    },
    [](Walk& w) -> std::optional<Outcome> {
      if (!isEmergencyNumber(w.call.fields.displayName)) return std::nullopt;
      w.reason.push_back("CalmoraDebug: " + *w.call.fields.displayName + " is an emergency number, never blocked");
      return handOn(w);
    },
    // The contact walk and the social profiles.
    [](Walk& w) -> std::optional<Outcome> {
      const CallFacts& c = w.call;
      w.blocked = checkContact(w.index.contactKeyIndex(), w.inputs, c.fields.contactIdentifier, c.appBundleIdentifier,
                               w.reason) ||
                  w.index.isSocialBlocked(w.inputs, c.fields.displayName, lowercased(c.appName), Text(c.switchName),
                                          w.reason);
      return std::nullopt;
    },
    // Schedules belong to contacts: an unknown caller is blocked at all
    // hours, in both modes, whatever the app switches say.
    [](Walk& w) -> std::optional<Outcome> {
      if (w.blocked || !w.inputs.loaded.blockUnknown ||
          knownContacts().knows(w.index.contacts(), w.call.fields.contactIdentifier))
        return std::nullopt;
      w.reason.push_back("CalmoraDebug: unknown caller " + objectText(w.call.fields.displayName) + " is blocked");
      w.blocked = true;
      return std::nullopt;
    },
    // Only a ringing call is ended.
    [](Walk& w) -> std::optional<Outcome> {
      if (!w.blocked || w.call.fields.callStatus != kRingingStatus) return handOn(w);
      return std::nullopt;
    },
    // Within kSameCallMs it is the blocked call itself, seen again (the
    // event and the update): that one is still ended, and not a repeat.
    [](Walk& w) -> std::optional<Outcome> {
      if (!w.inputs.loaded.repeatCallers || !w.recent.isRepeat(callerOf(w.call), w.inputs.nowMs, kSameCallMs))
        return std::nullopt;
      w.reason.push_back("CalmoraDebug: repeat call from " + objectText(w.call.fields.displayName) + " is handed on");
      return Outcome::HandOn;
    },
};

}  // namespace

CallFacts describe(hostapi::CallFields fields, Source source) {
  CallFacts c;
  if (fields.contactIdentifier) fields.contactIdentifier = withoutABPerson(*fields.contactIdentifier);
  const Text& provider = fields.providerLocalizedName;
  if (source == Source::CallEvent) {
    if (containsEither(provider, Text("Facetime"))) {
      c.appName = "FaceTime Audio";
      c.appBundleIdentifier = "com.apple.facetime";
    } else {
      c.appName = provider;
      c.appBundleIdentifier = fields.providerBundleIdentifier;
    }
    if (containsEither(c.appName, Text("Telephony"))) c.appName = "Phone";
  } else {
    fields.providerBundleIdentifier = std::nullopt;  // an update does not say which app carries it
    if (containsEither(provider, Text("FaceTime"))) {
      c.appName = "FaceTime Video";
      c.appBundleIdentifier = "com.apple.facetime";
    } else {
      c.appName = provider;
    }
  }
  c.switchName = objectText(c.appBundleIdentifier) + std::string(names::settings::kCallSwitchSuffix);
  c.fields = std::move(fields);
  return c;
}

std::string callerOf(const CallFacts& c) {
  const Text& id = c.fields.contactIdentifier;
  return id && !id->empty() ? "contact " + *id : "name " + objectText(c.fields.displayName);
}

Verdict decideCall(const CallFacts& call, const DecisionInputs& inputs, const ContactIndex& index,
                   const RecentCallers& recent) {
  Walk w{call, inputs, index, recent, {}, false};
  for (const Rule& rule : kRules)
    if (auto outcome = rule(w)) return Verdict{*outcome, std::move(w.reason)};
  return Verdict{Outcome::Stop, std::move(w.reason)};
}

}  // namespace calmora::calls
