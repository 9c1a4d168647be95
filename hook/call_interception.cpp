#include "hook/call_interception.h"

#include <cstdio>

#include "common/names.h"
#include "hook/app_identity.h"
#include "hook/sender_matching.h"
#include "hook/host.h"
#include "common/log_store.h"
#include "hook/log_requests.h"
#include "hook/process_state.h"
#include "hook/rules.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/sound.h"

namespace calmora::calls {

namespace {

using platform::Text;
namespace sig = names::signal;

constexpr int64_t kRingingStatus = 4;
// Blocked call events this close to the previous one are the same call seen
// again (the event and the update, or a burst of status changes).
constexpr int64_t kSameCallMs = 1000;

struct Call {
  hostapi::CallFields fields;  // contact identifier without ":ABPerson"
  Text appName;
  Text appBundleIdentifier;
  std::string switchName;  // "%@Call" over the app bundle identifier
};

// %@ of an object without a description of its own.
std::string objectDescription(const runtime::Id& object) {
  if (!object) return "(null)";
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(object.get()));
  return "<" + (object->isa() ? object->isa()->name() : std::string("NSObject")) + ": " + address + ">";
}

Call describe(hostapi::CallFields fields, Source source) {
  Call c;
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

bool isBlocked(const Call& c, const Decision& d, const ContactIndex& index) {
  if (checkContact(index.contactKeyIndex(), d, c.fields.contactIdentifier, c.appBundleIdentifier) ||
      index.isSocialBlocked(d, c.fields.displayName, lowercased(c.appName), Text(c.switchName)))
    return true;
  // Schedules belong to contacts: an unknown caller is blocked at all hours,
  // in both modes, whatever the app switches say.
  if (d.loaded.blockUnknown && !index.knowsContact(c.fields.contactIdentifier)) {
    platform::log("CalmoraDebug: unknown caller ", objectText(c.fields.displayName), " is blocked");
    return true;
  }
  return false;
}

// Who a call comes from, for the repeat-callers rule: the contact, or the
// name text of a caller without one.
std::string callerOf(const Call& c) {
  const Text& id = c.fields.contactIdentifier;
  return id && !id->empty() ? "contact " + *id : "name " + objectText(c.fields.displayName);
}

// Ends every call of the device. Answers whether this is a new blocked call
// rather than the one just blocked seen again, which is not logged twice.
bool hangUp() {
  ProcessState& p = process();
  int64_t diff = 0;
  {
    std::lock_guard lock(p.callMutex);
    p.calldate = platform::clock::nowMs();
    diff = p.calldate - p.lastCalldate;
    platform::log("CalmoraDebug lastCalldate:-", p.lastCalldate, ", calldate:-", p.calldate, " diff:-", diff);
    p.lastCalldate = platform::clock::nowMs();
  }
  hostapi::disconnectAllCalls();
  return diff > kSameCallMs;
}

void recordBlockedCall(const Call& c, uint32_t sound) {
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

bool ending(const Call& c, const Decision& d, const ContactIndex& index) {
  if (!c.fields.isIncoming) return false;
  if (isEmergencyNumber(c.fields.displayName)) {
    platform::log("CalmoraDebug: ", *c.fields.displayName, " is an emergency number, never blocked");
    return false;
  }
  return isBlocked(c, d, index) && c.fields.callStatus == kRingingStatus;
}

// Answers true when the call was stopped here; otherwise the host's own
// handling is to run with the unchanged arguments.
bool intercept(const Call& c, ProcessState& p) {
  const Decision d = p.decision();
  if (!ending(c, d, *p.contactsNow())) {
    platform::log("CalmoraDebug call inst isBlocked YESSS");
    return false;
  }
  if (d.loaded.repeatCallers) {
    // Within kSameCallMs it is the blocked call itself, seen again (the
    // event and the update): that one is still ended, and not a repeat.
    const std::string caller = callerOf(c);
    const int64_t now = d.nowMs;
    if (p.recentCallers.isRepeat(caller, now, kSameCallMs)) {
      platform::log("CalmoraDebug: repeat call from ", objectText(c.fields.displayName), " is handed on");
      return false;
    }
    p.recentCallers.blocked(caller, now);
  }
  if (hangUp()) recordBlockedCall(c, d.loaded.selectedSound);
  return true;
}

}  // namespace

bool shouldEnd(const hostapi::CallFields& call, Source source) {
  ProcessState& p = process();
  return ending(describe(call, source), p.decision(), *p.contactsNow());
}

void callEventHandler(const runtime::Id& self, runtime::Id notification) {
  const runtime::Id call = hostapi::notificationObject(notification);
  hostapi::CallFields fields = hostapi::readCall(call);
  platform::log("CalmoraDebug arg1:-", objectDescription(notification));
  const Call c = describe(std::move(fields), Source::CallEvent);
  const auto& f = c.fields;
  platform::log("CalmoraDebug isIncoming:-", f.isIncoming ? 1 : 0, "..contactIdentifier:-", objectText(f.contactIdentifier),
                "..callStatus:-", f.callStatus, ", displayName:-", objectText(f.displayName), ", fromAppNameBID:-",
                objectText(c.appBundleIdentifier), ", fromAppName:-", objectText(c.appName));
  ProcessState& p = process();
  if (intercept(c, p)) return;
  p.previous.callEventHandler(self, std::move(notification));
}

void updateWithCall(const runtime::Id& self, runtime::Id call) {
  hostapi::CallFields fields = hostapi::readCall(call);
  if (fields.contactIdentifier) fields.contactIdentifier = withoutABPerson(*fields.contactIdentifier);
  platform::log("CalmoraDebug updateWithCall displayNameF:-", objectText(fields.displayName),
                ", callStatus:-", fields.callStatus, ", fromAppNameBID:-(null)...:-fromAppName:-",
                objectText(fields.providerLocalizedName), ", contactIdentifier:-", objectText(fields.contactIdentifier),
                ", isIncoming:-", fields.isIncoming ? 1 : 0);
  const Call c = describe(std::move(fields), Source::CallUpdate);
  ProcessState& p = process();
  if (intercept(c, p)) return;
  p.previous.updateWithCall(self, std::move(call));
}

}  // namespace calmora::calls
