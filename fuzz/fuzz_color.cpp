// Marker colour text: any bytes give either nothing or a colour whose
// channels lie in 0...1.
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "hook/settings_snapshot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto color = calmora::parseColor(text);
  if (!color) return 0;
  for (double c : {color->red, color->green, color->blue, color->alpha}) FUZZ_CHECK(c >= 0.0 && c <= 1.0);
  // "#" is dropped wherever it stands, so adding more changes nothing.
  auto withHash = calmora::parseColor("#" + std::string(text) + "#");
  FUZZ_CHECK(withHash && *withHash == *color);
  return 0;
}
