// The lexical layer of vCard: logical lines, properties and their
// parameters, value escapes. Shared by the reader's parts only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/text.h"

namespace platform::contacts::vcard {

// vCard syntax is ASCII; the C library's ctype would follow the locale.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
using platform::trim;

struct Line {
  std::string text;
  size_t number = 0;  // the physical line it starts on
  // The bytes it takes in the text, its folds and line end included, so
  // that a writer can keep a line byte for byte.
  size_t begin = 0, end = 0;
};

// Joins folded lines (a line break followed by a space or tab continues the
// line) and accepts CRLF, LF and lone CR line ends. Blank lines are dropped.
std::vector<Line> unfold(std::string_view text);

struct Param {
  std::string name;  // lower case
  std::vector<std::string> values;
};

struct Property {
  std::string name;  // upper case, group dropped
  std::vector<Param> params;
  std::string_view value;  // still escaped; points into the parsed line

  const std::vector<std::string>* param(std::string_view lowerName) const;
};

// [group "."] name *(";" param) ":" value; anything else is no property.
std::optional<Property> parseProperty(std::string_view line);

// Decodes \n, \, \; and \\ (any other escaped character stands for itself).
std::string unescape(std::string_view v);
// Splits a structured value at separators that are not escaped.
std::vector<std::string_view> splitStructured(std::string_view v, char separator);
// An unescaped, trimmed text value.
std::string textValue(std::string_view raw);

}  // namespace platform::contacts::vcard
