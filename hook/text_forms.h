// The forms a text of the host takes in the log's lines and the settings'
// keys.
#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/host_values.h"

namespace calmora {

// How a format's %@ shows a text: "(null)" when it is absent.
std::string objectText(const platform::Text& text);
// Lower case (Unicode); absent stays absent.
platform::Text lowercased(const platform::Text& text);
// A contact store identifier with every ":ABPerson" removed: a contact key.
std::string withoutABPerson(std::string_view identifier);

}  // namespace calmora
