#include "hook/call_interception.h"

#include <cstdio>

#include "common/log_store.h"
#include "common/names.h"
#include "hook/app_identity.h"
#include "hook/host.h"
#include "hook/log_requests.h"
#include "hook/process_state.h"
#include "hook/text_forms.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/sound.h"

namespace calmora::calls {

namespace {

using platform::Text;
namespace sig = names::signal;

// %@ of an object without a description of its own.
std::string objectDescription(const runtime::Id& object) {
  if (!object) return "(null)";
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(object.get()));
  return "<" + (object->isa() ? object->isa()->name() : std::string("NSObject")) + ": " + address + ">";
}

// Ends every call of the device. Answers whether this is a new blocked call
// rather than the one just blocked seen again, which is not logged twice.
bool hangUp(const CallFacts& c, DecisionState& state) {
  {
    // The documented line keeps the device's dates; the decision is the
    // same-call filter's.
    std::lock_guard lock(state.callMutex);
    state.calldate = platform::clock::nowMs();
    const int64_t diff = state.calldate - state.lastCalldate;
    platform::log("CalmoraDebug lastCalldate:-", state.lastCalldate, ", calldate:-", state.calldate, " diff:-", diff);
    state.lastCalldate = state.calldate;
  }
  const bool again = state.sameCall.seenAgain(callerOf(c), objectText(c.fields.providerLocalizedName),
                                              SameCallFilter::now(), platform::clock::nowMs());
  hostapi::disconnectAllCalls();
  return !again;
}

void recordBlockedCall(const CallFacts& c, uint32_t sound) {
  logs::CallRecord record;
  record.date = logs::currentDateText();
  record.data = objectText(c.appName) + " Call from " + objectText(c.fields.displayName);
  record.appBID = c.appBundleIdentifier;
  record.iconData = appIconData(containsEither(c.appName, Text("Phone")) ? Text("com.apple.mobilephone")
                                                                         : c.appBundleIdentifier);
  record.from = c.fields.displayName;
  record.appName = c.appName;
  logs::writeRecord(std::move(record));

  platform::sound::disposeSystemSound(sound);
  platform::sound::playSystemSound(sound);

  auto& center = platform::defaultCenter();
  center.post(sig::kShow);
  center.post(sig::kUnreadCall);
  center.post(sig::kTableRefresh);
}

// Applies the verdict. Answers true when the call was stopped here;
// otherwise the host's own handling is to run with the unchanged arguments.
bool intercept(const CallFacts& c, DecisionState& state) {
  const DecisionInputs d = state.inputs();
  const Verdict v = decideCall(c, d, *state.contactsNow(), state.recentCallers);
  for (const std::string& line : v.reason) platform::logLine(line);
  if (v.outcome == Outcome::HandOn) return false;
  if (d.loaded.repeatCallers) state.recentCallers.blocked(callerOf(c), d.nowMs);
  if (hangUp(c, state)) recordBlockedCall(c, d.loaded.selectedSound);
  return true;
}

}  // namespace

bool shouldEnd(const hostapi::CallFields& call, Source source) {
  DecisionState& state = decisionState();
  return decideCall(describe(call, source), state.inputs(), *state.contactsNow(), state.recentCallers).outcome ==
         Outcome::Stop;
}

void callEventHandler(const runtime::Id& self, runtime::Id notification) {
  const runtime::Id call = hostapi::notificationObject(notification);
  hostapi::CallFields fields = hostapi::readCall(call);
  platform::log("CalmoraDebug arg1:-", objectDescription(notification));
  const CallFacts c = describe(std::move(fields), Source::CallEvent);
  const auto& f = c.fields;
  platform::log("CalmoraDebug isIncoming:-", f.isIncoming ? 1 : 0, "..contactIdentifier:-", objectText(f.contactIdentifier),
                "..callStatus:-", f.callStatus, ", displayName:-", objectText(f.displayName), ", fromAppNameBID:-",
                objectText(c.appBundleIdentifier), ", fromAppName:-", objectText(c.appName));
  if (intercept(c, decisionState())) return;
  hostBindings().previous.callEventHandler(self, std::move(notification));
}

void updateWithCall(const runtime::Id& self, runtime::Id call) {
  hostapi::CallFields fields = hostapi::readCall(call);
  if (fields.contactIdentifier) fields.contactIdentifier = withoutABPerson(*fields.contactIdentifier);
  platform::log("CalmoraDebug updateWithCall displayNameF:-", objectText(fields.displayName),
                ", callStatus:-", fields.callStatus, ", fromAppNameBID:-(null)...:-fromAppName:-",
                objectText(fields.providerLocalizedName), ", contactIdentifier:-", objectText(fields.contactIdentifier),
                ", isIncoming:-", fields.isIncoming ? 1 : 0);
  const CallFacts c = describe(std::move(fields), Source::CallUpdate);
  if (intercept(c, decisionState())) return;
  hostBindings().previous.updateWithCall(self, std::move(call));
}

}  // namespace calmora::calls
