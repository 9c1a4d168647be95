// Contact rule evaluation: the loose text match, the weekly schedule and the
// call rule.
#pragma once

#include <string_view>

#include "platform/foundation/plist.h"
#include "platform/foundation/host_values.h"

namespace calmora {

// True when either text contains the other, ignoring case (Unicode); an
// absent or empty first text stands in as "imnull", the second as
// "imalsonull".
bool containsEither(const platform::Text& first, const platform::Text& second);
bool containsEither(std::string_view first, std::string_view second);
// For literals, which would fit both forms above; a null pointer is absent.
bool containsEither(const char* first, const char* second);

// Whether the contact's schedule is in force now: its weekday switch is on
// and the current minute lies strictly inside that day's "HH:mm-HH:mm"
// window; otherwise `ignoretime`.
bool isTimeNow(std::string_view contactKey);
bool isTimeNow(platform::plist::Ref settings, std::string_view contactKey);

// Whether a call from the contact through the app is to be blocked by the
// contact rules (the social-profile test is asked apart).
bool checkContact(const platform::Text& contactIdentifier, const platform::Text& appBundleIdentifier);

}  // namespace calmora
