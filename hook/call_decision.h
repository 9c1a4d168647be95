// The decision on an incoming call: one pure function over what the call
// says, the settings, the index of the settings file and address book, and
// the callers blocked lately. It runs an ordered list of rules; the first
// that decides gives the verdict, with every line the rules gave on the
// way: the contact walk's documented trace lines among them.
#pragma once

#include <string>

#include "hook/decision_inputs.h"
#include "hook/host.h"
#include "hook/recent_callers.h"
#include "hook/sender_matching.h"
#include "hook/verdict.h"

namespace calmora::calls {

enum class Source { CallEvent, CallUpdate };

// A call as the rules read it.
struct CallFacts {
  hostapi::CallFields fields;  // contact identifier without ":ABPerson"
  platform::Text appName;
  platform::Text appBundleIdentifier;
  std::string switchName;  // "%@Call" over the app bundle identifier
};
CallFacts describe(hostapi::CallFields fields, Source source);

// Who a call comes from, for the repeat-callers rule and the same-call
// filter: the contact, or the name text of a caller without one.
std::string callerOf(const CallFacts& c);

// Blocked call events this close to the previous one are the same call seen
// again (the event and the update).
inline constexpr int64_t kSameCallMs = 1000;

// The line logged whenever a call is handed on by the walk: the legacy text
// reads as if it were blocked, and stays as it is for whoever searches
// the device's log for it.
inline constexpr const char* kHandedOnLine = "CalmoraDebug call inst isBlocked YESSS";

Verdict decideCall(const CallFacts& call, const DecisionInputs& inputs, const ContactIndex& index,
                   const RecentCallers& recent);

}  // namespace calmora::calls
