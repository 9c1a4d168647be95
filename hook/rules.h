// Contact rule evaluation: the weekly schedule and the call rule.
#pragma once

#include <string_view>

#include "hook/decision_inputs.h"
#include "hook/loose_match.h"
#include "hook/verdict.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/host_values.h"

namespace calmora {

class ContactKeyIndex;

// How a window whose end is at or before its start reads: never in force
// (as documented), or, with "overnightWindows" on, from its start on its
// weekday to its end on the next day.
enum class WindowRule { SameDay, AcrossMidnight };
WindowRule windowRuleOf(bool overnightWindows);

// Whether the contact's schedule is in force at the decision's minute: its
// weekday switch is on and that minute lies strictly inside that day's
// "HH:mm-HH:mm" window (or, with "overnightWindows", strictly after the
// start of today's window or strictly before the end of yesterday's);
// otherwise the loaded "ignoretime". Its trace lines go to `reason`.
bool isTimeNow(platform::plist::Ref settings, std::string_view contactKey, const DecisionInputs& inputs,
               Reason& reason);

// Whether a call from the contact through the app is to be blocked by the
// contact rules (the social-profile test is asked apart): the contact
// entries of `contactKeys`' settings, the mode of the loaded ones. Its
// trace lines, the key it stopped at and the branch taken, go to `reason`.
bool checkContact(const ContactKeyIndex& contactKeys, const DecisionInputs& inputs, const platform::Text& contactIdentifier,
                  const platform::Text& appBundleIdentifier, Reason& reason);

// Emergency numbers: those of the device's region, read as a phone reads
// them ("+1 911", full-width digits, spaces), and these wherever it is. A
// call whose caller text is one is never blocked and never logged, whatever
// the settings say.
inline constexpr std::string_view kEmergencyNumbers[] = {"112", "911", "999", "000", "110", "119",
                                                         "118", "08",  "100", "101", "102"};
bool isEmergencyNumber(const platform::Text& callerText);

}  // namespace calmora
