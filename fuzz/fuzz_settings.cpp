// Bytes as the settings file: the load-time snapshot, the colour and the
// marker coordinates come out within their documented ranges, with the
// documented defaults for whatever is absent or mistyped.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "common/names.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/plist_walk.h"
#include "hook/settings_snapshot.h"

using namespace platform::plist;
namespace keys = calmora::names::settings;

namespace {

void checkSnapshot(Ref settings) {
  bool enabled = false;
  calmora::SettingsSnapshot s = calmora::snapshotFrom(settings, &enabled);
  FUZZ_CHECK(enabled == settings[keys::kIsTweakEnabled].truthy());
  FUZZ_CHECK(s.ignoretime == settings[keys::kIgnoreTime].truthy());

  for (auto [key, value] : {std::pair{keys::kXCoordinates, s.coordinatesForX},
                            std::pair{keys::kYCoordinates, s.coordinatesForY}}) {
    FUZZ_CHECK(std::isfinite(value));
    FUZZ_CHECK(value == calmora::coordinateFrom(settings, key));
    if (!settings[key].integer()) FUZZ_CHECK(value == keys::kDefaultCoordinate);
  }

  auto colorText = settings[keys::kColor].text();
  if (!colorText || colorText->empty()) {
    FUZZ_CHECK(s.chosenColor == calmora::parseColor(keys::kDefaultColor));
  } else {
    FUZZ_CHECK(s.chosenColor == calmora::parseColor(*colorText));
  }
  if (s.chosenColor)
    for (double c : {s.chosenColor->red, s.chosenColor->green, s.chosenColor->blue, s.chosenColor->alpha})
      FUZZ_CHECK(c >= 0.0 && c <= 1.0);

  auto soundText = settings[keys::kSound].text();
  if (!soundText || soundText->empty()) FUZZ_CHECK(s.selectedSound == 1000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReadResult read = parseDictionary(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(read.dict.isDict());
  checkSnapshot(read.dict.ref());
  // Contact entries are dictionaries of the same value kinds; reading one as
  // if it were the whole file exercises the same rules on nested values.
  read.dict.ref().forEach([](std::string_view, Ref entry) {
    if (entry.isDict()) checkSnapshot(entry);
    return true;
  });
  fuzzing::walkEveryAccessor(read.dict.ref());
  return 0;
}
