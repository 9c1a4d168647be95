// Visits every node of a parsed tree through every accessor of `Ref`, the
// way the engine's readers may touch a file whatever it holds.
#pragma once

#include "platform/foundation/plist.h"

namespace fuzzing {

// Answers the number of nodes visited.
size_t walkEveryAccessor(platform::plist::Ref node);

}  // namespace fuzzing

namespace fuzzing {

// Whether two trees hold the same items: same types, texts, numbers, data
// and keys in the same order. Reals may differ in the last digits and dates
// are compared by type only, as the XML form rounds both; a UID may come back
// as the dictionary the XML form writes for it.
// With `orderedKeys` false, dictionaries compare as maps.
bool sameTree(platform::plist::Ref a, platform::plist::Ref b, bool orderedKeys = true);

// Whether every text and key of the tree is well-formed UTF-8.
bool wellFormedText(platform::plist::Ref node);

}  // namespace fuzzing
