// The replacement of the bulletin server's publishing method.
#pragma once

#include <cstdint>

#include "hook/host.h"
#include "platform/runtime/runtime.h"

namespace calmora::bulletins {

// Whether the replacement keeps this bulletin from being published: a
// blocked sender, a fresh bulletin, an app that may be silenced, and some
// contact's schedule in force.
bool shouldSuppress(const hostapi::BulletinFields& bulletin);

// Replaces -[BBServer publishBulletin:destinations:].
void publishBulletin(const runtime::Id& self, runtime::Id bulletin, uint64_t destinations);

}  // namespace calmora::bulletins
