// Finding a caller's contact key among the settings file's top-level keys
// without walking them all: the first key, in the file's order, that either
// contains the identifier or is contained in it, ignoring case. The opt-in
// keys ("blockUnknown", ...) are never candidates.
#pragma once

#include <QHash>
#include <QString>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/names.h"
#include "hook/settings_snapshot.h"
#include "platform/foundation/host_values.h"

namespace calmora {

// Calls fn(key, value) for every top-level key of the settings that may be a
// contact key, in the file's order: all but the opt-in switches. They share
// the top level with the contact keys, and switching one on must change no
// contact's decision; the older global keys stay candidates, as documented.
template <class Fn>
void forEachCandidateKey(platform::plist::Ref settings, Fn&& fn) {
  settings.forEach([&](std::string_view key, platform::plist::Ref value) {
    if (!names::settings::isOptInKey(key)) fn(key, value);
    return true;
  });
}

// The key `containsEither(key, identifier)` passes first in enumeration
// order, or nothing. Built once per settings snapshot; each lookup costs a
// few hash probes however many keys the file holds.
class ContactKeyIndex {
 public:
  explicit ContactKeyIndex(const SettingsContent& settings);

  const SettingsContent& settings() const { return settings_; }
  std::optional<std::string> find(const platform::Text& identifier) const;

 private:
  std::optional<std::string> fallback(const platform::Text& identifier) const;

  SettingsContent settings_;
  std::vector<std::string> keys_;
  std::vector<QString> foldedKeys_;
  QHash<QString, size_t> byFolded_;
  std::set<qsizetype> lengths_;
  std::vector<std::pair<qsizetype, size_t>> byLength_;
  std::optional<size_t> nullMatch_;
};

}  // namespace calmora
