#include "common/setting_values.h"

#include "common/names.h"

namespace calmora::settings {

namespace keys = names::settings;

int32_t methodSpecifier(platform::plist::Ref settings) {
  return static_cast<int32_t>(settings[keys::kMethodSpecifier].integer().value_or(0));
}

uint32_t soundID(platform::plist::Ref settings) {
  auto text = settings[keys::kSound].text();
  std::string_view sound = text && !text->empty() ? std::string_view(*text) : keys::kDefaultSound;
  return static_cast<uint32_t>(platform::plist::decimalValue(sound).value_or(0));
}

double coordinate(platform::plist::Ref settings, std::string_view key) {
  if (auto n = settings[key].integer()) return static_cast<double>(*n);
  return keys::kDefaultCoordinate;
}

}  // namespace calmora::settings
