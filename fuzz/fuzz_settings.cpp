// Bytes as the settings file: the load-time snapshot, read from the whole
// file and from each contact entry as if it were one, never crashes and
// keeps the marker's coordinates finite whatever the file holds.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "hook/settings_snapshot.h"

using namespace platform::plist;

namespace {

void checkSnapshot(Ref settings) {
  bool enabled = false;
  calmora::SettingsSnapshot s = calmora::snapshotFrom(settings, &enabled);
  FUZZ_CHECK(std::isfinite(s.coordinatesForX) && std::isfinite(s.coordinatesForY));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReadResult read = parseDictionary(std::string_view(reinterpret_cast<const char*>(data), size));
  checkSnapshot(read.dict.ref());
  read.dict.ref().forEach([](std::string_view, Ref entry) {
    if (entry.isDict()) checkSnapshot(entry);
    return true;
  });
  return 0;
}
