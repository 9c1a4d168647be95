#include "fuzz/plist_walk.h"

#include <plist/plist.h>

#include <QUtf8StringView>

#include <algorithm>
#include <cmath>
#include <vector>

#include "fuzz/fuzz_check.h"

namespace fuzzing {
using platform::plist::Ref;
using platform::plist::Type;

namespace {

void checkValueRules(Ref node) {
  auto type = node.type();
  bool truthy = node.truthy();
  auto integer = node.integer();
  auto text = node.text();
  auto real = node.real();
  auto string = node.string();
  switch (type) {
    case Type::String:
      FUZZ_CHECK(string && text && *text == *string);
      FUZZ_CHECK(!truthy);
      // An integer comes from decimal text alone.
      FUZZ_CHECK(integer == platform::plist::decimalValue(*string));
      break;
    case Type::Integer:
      FUZZ_CHECK(integer && text && real && !string);
      FUZZ_CHECK(*text == std::to_string(*integer));
      FUZZ_CHECK(truthy == (*integer != 0));
      break;
    case Type::Real:
      FUZZ_CHECK(real && text && !string);
      FUZZ_CHECK(truthy == (*real != 0.0 && !std::isnan(*real)));
      FUZZ_CHECK(integer.has_value() == !std::isnan(*real));
      break;
    case Type::Bool:
      FUZZ_CHECK(integer && *integer == (truthy ? 1 : 0) && !text && !string);
      break;
    default:
      FUZZ_CHECK(!truthy && !integer && !text && !string && !real);
  }
}

size_t walk(Ref node, int depth) {
  // parseDictionary refuses trees deeper than this, so the walk needs no
  // guard of its own; it checks the refusal instead.
  FUZZ_CHECK(depth <= 600);
  checkValueRules(node);
  size_t visited = 1;
  size_t size = node.size();
  switch (node.type()) {
    case Type::Dict: {
      auto keys = node.keys();
      FUZZ_CHECK(keys.size() == size);
      size_t i = 0;
      node.forEach([&](std::string_view key, Ref value) {
        FUZZ_CHECK(i < keys.size() && key == keys[i]);
        // The first item of a key is the one a lookup finds.
        Ref looked = node[key];
        FUZZ_CHECK(looked);
        ++i;
        visited += walk(value, depth + 1);
        return true;
      });
      FUZZ_CHECK(i == size);
      FUZZ_CHECK(!node.at(0));
      break;
    }
    case Type::Array:
      for (size_t i = 0; i < size; ++i) {
        Ref item = node.at(i);
        FUZZ_CHECK(item);
        visited += walk(item, depth + 1);
      }
      FUZZ_CHECK(!node.at(size));
      FUZZ_CHECK(!node["0"]);
      break;
    default:
      FUZZ_CHECK(size == 0 && node.keys().empty() && !node["x"] && !node.at(0));
  }
  return visited;
}

}  // namespace

size_t walkEveryAccessor(Ref node) { return walk(node, 0); }

bool wellFormedText(Ref node) {
  switch (node.type()) {
    case Type::String: return QUtf8StringView(*node.string()).isValidUtf8();
    case Type::Array:
      for (size_t i = 0; i < node.size(); ++i)
        if (!wellFormedText(node.at(i))) return false;
      return true;
    case Type::Dict: {
      bool ok = true;
      node.forEach([&](std::string_view key, Ref value) {
        ok = QUtf8StringView(key).isValidUtf8() && wellFormedText(value);
        return ok;
      });
      return ok;
    }
    default: return true;
  }
}

bool sameTree(Ref a, Ref b, bool orderedKeys) {
  // A keyed-archive UID is written as {"CF$UID": n}, which reads back as
  // that dictionary; the number is kept.
  if (a.type() == Type::Other && b.isDict()) return b.size() == 1 && b["CF$UID"].integer().has_value();
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case Type::Dict: {
      auto keys = a.keys(), otherKeys = b.keys();
      if (!orderedKeys) {
        std::sort(keys.begin(), keys.end());
        std::sort(otherKeys.begin(), otherKeys.end());
      }
      if (keys != otherKeys) return false;
      bool same = true;
      a.forEach([&](std::string_view key, Ref v) {
        same = sameTree(v, b[key], orderedKeys);
        return same;
      });
      return same;
    }
    case Type::Array:
      if (a.size() != b.size()) return false;
      for (size_t i = 0; i < a.size(); ++i)
        if (!sameTree(a.at(i), b.at(i), orderedKeys)) return false;
      return true;
    case Type::Real: {
      double x = *a.real(), y = *b.real();
      if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
      return x == y || std::fabs(x - y) <= 1e-9 * std::max(std::fabs(x), std::fabs(y));
    }
    case Type::Data: {
      uint64_t la = 0, lb = 0;
      const char* pa = plist_get_data_ptr(a.raw(), &la);
      const char* pb = plist_get_data_ptr(b.raw(), &lb);
      return std::string_view(pa ? pa : "", la) == std::string_view(pb ? pb : "", lb);
    }
    case Type::Date:
    case Type::Other: return true;
    default: return a.string() == b.string() && a.integer() == b.integer() && a.truthy() == b.truthy();
  }
}

}  // namespace fuzzing
