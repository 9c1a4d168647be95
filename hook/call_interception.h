// The replacements of the two host methods that see incoming calls.
#pragma once

#include "hook/host.h"
#include "platform/runtime/runtime.h"

namespace calmora::calls {

enum class Source { CallEvent, CallUpdate };

// Whether the replacement for `source` ends this call: an incoming call in
// status 4 whose caller the contact rules block.
bool shouldEnd(const hostapi::CallFields& call, Source source);

// Replaces -[SBTelephonyManager callEventHandler:].
void callEventHandler(const runtime::Id& self, runtime::Id notification);
// Replaces -[TUCall updateWithCall:].
void updateWithCall(const runtime::Id& self, runtime::Id call);

}  // namespace calmora::calls
