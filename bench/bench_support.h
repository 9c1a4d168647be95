// Shared fixtures of the benchmarks: settings files and device folders of a
// given size.
#pragma once

#include <filesystem>
#include <string>

#include "platform/foundation/plist.h"

namespace calmora::bench {

// A settings dictionary with the global keys and `entries` contact entries
// ("XXXXXXXX-...-NNNN" keys), each blocked for calls and WhatsApp with a
// full week's schedule.
platform::plist::Value settingsWithEntries(int entries);

// The contact key of entry i in the dictionaries above.
std::string contactKey(int i);

// A fresh folder under the temporary directory, removed at exit.
std::filesystem::path scratchDir(const std::string& name);

}  // namespace calmora::bench
