// The loose text match by which contact keys, identifiers, names and
// labels find each other.
#pragma once

#include <string_view>

#include "platform/foundation/host_values.h"

namespace calmora {

// True when either text contains the other, ignoring case (Unicode); an
// absent or empty first text stands in as "imnull", the second as
// "imalsonull".
bool containsEither(const platform::Text& first, const platform::Text& second);
bool containsEither(std::string_view first, std::string_view second);
// For literals, which would fit both forms above; a null pointer is absent.
bool containsEither(const char* first, const char* second);

}  // namespace calmora
