#include <gtest/gtest.h>

#include <random>

#include "hook/contact_key_index.h"
#include "hook/rules.h"

namespace calmora {
namespace {

using platform::plist::Value;

SettingsContent snapshotOf(const std::vector<std::string>& keys) {
  auto s = std::make_shared<platform::plist::CachedDictionary::Snapshot>();
  s->dict = Value::dict();
  for (const auto& k : keys) s->dict.set(k, Value::dict());
  return s;
}

// The documented walk: the first key in order that passes the loose match.
std::optional<std::string> walk(const std::vector<std::string>& keys, const platform::Text& id) {
  for (const auto& k : keys)
    if (containsEither(platform::Text(k), id)) return k;
  return std::nullopt;
}

TEST(ContactKeyIndex, AgreesWithTheWalkOverRandomKeysAndIdentifiers) {
  std::mt19937 rng(7);
  const std::string alphabet = "aAbB-1é";
  auto text = [&](int max) {
    std::string s;
    int n = std::uniform_int_distribution<int>(0, max)(rng);
    for (int i = 0; i < n; ++i) {
      size_t c = std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng);
      if (alphabet[c] & 0x80) s += "é"; else s += alphabet[c];
    }
    return s;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> keys;
    int n = std::uniform_int_distribution<int>(0, 12)(rng);
    for (int i = 0; i < n; ++i) keys.push_back(text(6));
    auto s = snapshotOf(keys);
    keys = s->dict.ref().keys();  // the file's own order, duplicates gone
    for (int q = 0; q < 20; ++q) {
      platform::Text id = q == 0 ? platform::Text() : platform::Text(text(5));
      ASSERT_EQ(findContactKey(s, id), walk(keys, id)) << "identifier " << id.value_or("(absent)");
    }
  }
}

}  // namespace
}  // namespace calmora
