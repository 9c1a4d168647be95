// Finding a caller's contact key among the settings file's top-level keys
// without walking them all: the first key, in the file's order, that either
// contains the identifier or is contained in it, ignoring case.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/plist_cache.h"
#include "platform/springboard/host_types.h"

namespace calmora {

using SettingsSnapshotFile = std::shared_ptr<const platform::plist::CachedDictionary::Snapshot>;

// The key `containsEither(key, identifier)` passes first in enumeration
// order, or nothing. Built once per settings snapshot; each lookup costs a
// few hash probes however many keys the file holds.
std::optional<std::string> findContactKey(const SettingsSnapshotFile& settings, const host::Text& identifier);

}  // namespace calmora
