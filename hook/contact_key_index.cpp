#include "hook/contact_key_index.h"

#include <algorithm>

#include "hook/loose_match.h"
#include "platform/foundation/qt_text.h"

namespace calmora {

namespace {
QString folded(std::string_view s) {
  return platform::toQString(s).toCaseFolded();
}
}  // namespace

// Every key's position, by its case-folded text. A key contained in the
// identifier is one of the identifier's substrings (probed by the lengths
// keys have); a key containing it is at least as long (the longer keys are
// few: contact keys have the identifier's length).
ContactKeyIndex::ContactKeyIndex(const SettingsContent& settings) : settings_(settings) {
  size_t position = 0;
  // An identifier such as "no" must not find "blockUnknown".
  forEachCandidateKey(settings->dict.ref(), [&](std::string_view key, platform::plist::Ref) {
    QString f = folded(key);
    keys_.push_back(std::string(key));
    if (!byFolded_.contains(f)) byFolded_.insert(f, position);  // the first of equal folded keys wins
    lengths_.insert(f.size());
    byLength_.push_back({f.size(), position});
    foldedKeys_.push_back(std::move(f));
    ++position;
  });
  std::sort(byLength_.begin(), byLength_.end(), [](auto a, auto b) { return a.first > b.first; });
  // An absent identifier stands in as "imalsonull": a fixed text, so its
  // answer is fixed for the snapshot.
  for (size_t i = 0; i < keys_.size() && !nullMatch_; ++i)
    if (containsEither(platform::Text(keys_[i]), platform::Text())) nullMatch_ = i;
}

std::optional<std::string> ContactKeyIndex::find(const platform::Text& identifier) const {
  if (!identifier || identifier->empty()) return nullMatch_ ? std::optional(keys_[*nullMatch_]) : std::nullopt;
  const QString id = folded(*identifier);
  std::optional<size_t> best;
  auto consider = [&](size_t position) {
    if (!best || position < *best) best = position;
  };
  // Keys contained in the identifier, the identifier itself included.
  for (qsizetype len : lengths_) {
    if (len > id.size()) break;  // the set is ordered
    if (len == 0) continue;
    for (qsizetype at = 0; at + len <= id.size(); ++at) {
      auto it = byFolded_.constFind(id.mid(at, len));
      if (it != byFolded_.constEnd()) consider(it.value());
    }
  }
  // Keys that contain the identifier.
  for (const auto& [len, position] : byLength_) {
    if (len <= id.size()) break;
    if (foldedKeys_[position].contains(id)) consider(position);
  }
  // An empty key is contained in everything but stands in as "imnull".
  if (best && !containsEither(platform::Text(keys_[*best]), identifier)) return fallback(identifier);
  return best ? std::optional(keys_[*best]) : std::nullopt;
}

// The plain walk, for the rare key that folding alone cannot settle.
std::optional<std::string> ContactKeyIndex::fallback(const platform::Text& identifier) const {
  for (const auto& k : keys_)
    if (containsEither(platform::Text(k), identifier)) return k;
  return std::nullopt;
}

}  // namespace calmora
