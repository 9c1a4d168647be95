// The replacement of the bulletin server's publishing method.
#pragma once

#include <cstdint>

#include "platform/runtime/runtime.h"

namespace calmora::bulletins {

// Replaces -[BBServer publishBulletin:destinations:].
void publishBulletin(const rt::Id& self, rt::Id bulletin, uint64_t destinations);

}  // namespace calmora::bulletins
