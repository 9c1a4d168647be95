// A quick way into a log in the plain XML form that both the library and
// ordinary plist writers give: a root dictionary whose values are flat
// dictionaries of texts, booleans and numbers. One pass finds where each
// record lies, without building a tree of the icons' texts; a record's
// fields are read only when its row is shown. Anything else (binary plists,
// nested values, comments, CDATA, entities in keys) answers nothing, and
// the caller parses the file whole instead.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "app/event_log.h"

namespace calmora::viewer::xmlindex {

struct Span {
  size_t begin = 0, end = 0;  // the record's inner text; begin == end: no fields
  bool isDict = false;
};

// Key text (into the bytes) to the span of its value. A repeated key keeps
// its last value, as the full parse keeps it.
using Index = std::unordered_map<std::string_view, Span>;

std::optional<Index> index(std::string_view bytes);
// The fields of one record's inner text; empty fields for what is not there.
EventRecord readRecord(std::string_view inner);

}  // namespace calmora::viewer::xmlindex
