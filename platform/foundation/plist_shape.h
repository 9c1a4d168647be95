// What libplist 2.2 cannot survive, found before and after it parses: it
// recurses once per nesting level when it parses, copies, writes and frees a
// tree, expands a binary object once per reference to it, and asserts on a
// text or key holding a NUL. Used by parseDictionary only.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/foundation/error.h"

using plist_t = void*;

namespace platform::plist {

// How much nesting and, for binary plists, how many nodes a file may expand
// to. libplist parses, copies and frees trees recursively and expands
// shared binary objects once per reference, so deeper or larger files are
// refused before it sees them rather than let them exhaust the stack or
// the memory of the process reading them.
inline constexpr int kMaxNesting = 512;
inline constexpr uint64_t kMaxBinaryNodes = 4'000'000;

}  // namespace platform::plist

namespace platform::plist::shape {

// Why the bytes must not reach the parser: nesting deeper than
// kMaxNesting (an upper bound for XML, exact for binary), a binary object
// graph with a cycle, expanding past kMaxBinaryNodes, or holding a text or
// key with a NUL, numbers wider than 8 bytes. Success when they may.
Result<void> checkBeforeParsing(std::string_view bytes);

// A string whose recorded length runs past its first NUL; the checks above
// should leave none.
bool holdsCutText(plist_t node);

bool repeatsKeys(plist_t node);
// A copy in which a repeated key holds its last value in the place of its
// first, which is what libplist's own XML reader makes of such a file.
plist_t withLastValues(plist_t node);

}  // namespace platform::plist::shape
