// Touches every node of a parsed tree through every accessor of `Ref`, the
// way the engine's readers may touch a file whatever it holds. The parser
// refuses trees deeper than it can walk, so the walk needs no guard.
#pragma once

#include "platform/foundation/plist.h"

namespace fuzzing {

inline void walkEveryAccessor(platform::plist::Ref node) {
  (void)node.truthy(), (void)node.integer(), (void)node.text(), (void)node.real(), (void)node.string();
  (void)node["x"], (void)node.keys(), (void)node.at(node.size());
  if (node.type() == platform::plist::Type::Array)
    for (size_t i = 0; i < node.size(); ++i) walkEveryAccessor(node.at(i));
  node.forEach([&](std::string_view key, platform::plist::Ref value) {
    (void)node[key];
    walkEveryAccessor(value);
    return true;
  });
}

}  // namespace fuzzing
