// Finding a caller's contact key among the settings file's top-level keys
// without walking them all: the first key, in the file's order, that either
// contains the identifier or is contained in it, ignoring case. The opt-in
// keys ("blockUnknown", ...) are never candidates.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "hook/settings_snapshot.h"
#include "platform/foundation/host_values.h"

namespace calmora {

class ContactKeyIndex;

// The key `containsEither(key, identifier)` passes first in enumeration
// order, or nothing. The index is built once per settings snapshot and held
// by the finder; each lookup costs a few hash probes however many keys the
// file holds.
class ContactKeyFinder {
 public:
  std::optional<std::string> find(const SettingsContent& settings, const platform::Text& identifier);

 private:
  std::mutex mutex_;
  std::shared_ptr<const ContactKeyIndex> held_;
};

// Through the process state's finder.
std::optional<std::string> findContactKey(const SettingsContent& settings, const platform::Text& identifier);

}  // namespace calmora
