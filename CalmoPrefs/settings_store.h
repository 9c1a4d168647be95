// The pane's one way to the settings file: every read goes to the file
// afresh; every write changes the file as it is then, under its writers'
// lock, and replaces it atomically. A file that does not read as a
// dictionary is kept aside before the first write replaces it.
#pragma once

#include <QString>

#include "platform/foundation/error.h"
#include "platform/foundation/plist.h"

namespace calmoprefs {

// The settings file as a dictionary; empty when missing or unreadable.
platform::plist::Value readSettings();
// A top-level setting, or `fallback` (copied) when absent.
platform::plist::Value readSetting(const QString& key, platform::plist::Ref fallback);
// A write that fails (after its retries) leaves a diagnostic line and
// answers why.
platform::Result<void> writeSetting(const QString& key, platform::plist::Value value);

// `key` inside the entry of `contactKey` of `settings`, or `fallback`.
platform::plist::Value readContactSetting(platform::plist::Ref settings, const QString& contactKey,
                                          const QString& key, platform::plist::Ref fallback);
// Stores `key` in the entry of `contactKey`, made empty first when absent
// (or when what stands there is no dictionary); a null value removes `key`.
platform::Result<void> writeContactSetting(const QString& contactKey, const QString& key,
                                           platform::plist::Value value);

// The preferences file of a "defaults" domain, read afresh; empty when the
// domain is no plain name or the file is missing.
platform::plist::Value readDomain(platform::plist::Ref domain);

}  // namespace calmoprefs
