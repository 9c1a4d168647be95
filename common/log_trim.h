// A bounded log: before an append that would take a log past its limit, the
// oldest records go and the rest are renumbered from "0", so that the keys
// stay dense and the append writes no more than a log at its limit holds.
// Both forms of a log are trimmed: the engine's XML by edits of its bytes,
// anything else as a parsed dictionary.
#pragma once

#include <cstddef>
#include <vector>

#include "common/log_xml.h"
#include "platform/foundation/plist.h"

namespace calmora::logs {

// How many of the newest records a log keeps; every one of them by default.
inline constexpr size_t kKeepAll = 0;

// How many of the oldest records go before one more is appended to a log
// of `count` records that keeps `keep`.
size_t recordsToDrop(size_t count, size_t keep);

// The edits (in file order) that remove the first `n` records of the
// layout and give each later record its key less `n`. The append edit
// follows them, made with `n` as its `dropped`.
std::vector<xml::Edit> dropOldest(const xml::Layout& layout, size_t n);

// The same on a parsed log whose keys are "0" to size - 1; a dictionary of
// other keys is left as it is (answers false), as its order is not known.
bool dropOldest(platform::plist::Value& log, size_t n);

}  // namespace calmora::logs
