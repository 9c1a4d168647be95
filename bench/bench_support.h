// Shared fixtures of the benchmarks: settings files and device folders of a
// given size.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/foundation/error.h"
#include "platform/foundation/plist.h"

namespace calmora::bench {

// Stops the run when a fixture could not be written or a measured write
// failed: a figure taken past a failure would mean nothing.
template <class T>
void must(const platform::Result<T>& done) {
  if (done) return;
  std::fprintf(stderr, "bench: %s\n", done.error().describe().c_str());
  std::exit(1);
}

// A settings dictionary with the global keys and `entries` contact entries
// ("XXXXXXXX-...-NNNN" keys), each blocked for calls and WhatsApp with a
// full week's schedule.
platform::plist::Value settingsWithEntries(int entries);

// The contact key of entry i in the dictionaries above.
std::string contactKey(int i);

// A fresh folder under the temporary directory, removed at exit.
std::filesystem::path scratchDir(const std::string& name);

}  // namespace calmora::bench
