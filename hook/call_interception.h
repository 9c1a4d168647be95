// The replacements of the two host methods that see incoming calls: each
// asks decideCall and applies its verdict.
#pragma once

#include "hook/call_decision.h"
#include "hook/host.h"
#include "platform/runtime/runtime.h"

namespace calmora::calls {

// Whether the replacement for `source` ends this call: an incoming call in
// status 4 whose caller the rules block.
bool shouldEnd(const hostapi::CallFields& call, Source source);

// Replaces -[SBTelephonyManager callEventHandler:].
void callEventHandler(const platform::runtime::Id& self, platform::runtime::Id notification);
// Replaces -[TUCall updateWithCall:].
void updateWithCall(const platform::runtime::Id& self, platform::runtime::Id call);

}  // namespace calmora::calls
