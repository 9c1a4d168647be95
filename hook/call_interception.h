// The replacements of the two host methods that see incoming calls.
#pragma once

#include "platform/runtime/runtime.h"

namespace calmora::calls {

// Replaces -[SBTelephonyManager callEventHandler:].
void callEventHandler(const rt::Id& self, rt::Id notification);
// Replaces -[TUCall updateWithCall:].
void updateWithCall(const rt::Id& self, rt::Id call);

}  // namespace calmora::calls
