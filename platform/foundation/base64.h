// Base64 as the log records carry icons.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Standard alphabet with '=' padding and no line breaks, however long.
std::string base64Encode(std::string_view bytes);

enum class Base64Decoding {
  Strict,                   // anything outside the alphabet fails the decode
  IgnoreUnknownCharacters,  // line breaks and other strays are skipped
};
// Nothing when the text is not base64 under the chosen rule. Padding may be
// left out; data after padding is refused.
std::optional<std::string> base64Decode(std::string_view text,
                                        Base64Decoding mode = Base64Decoding::Strict);

}  // namespace platform
