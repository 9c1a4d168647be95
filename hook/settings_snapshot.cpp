#include "hook/settings_snapshot.h"

#include <QString>

#include "common/names.h"
#include "common/settings_file.h"
#include "common/setting_values.h"
#include "platform/foundation/log.h"
#include "platform/foundation/qt_text.h"

namespace calmora {

namespace keys = names::settings;
using platform::plist::Ref;

platform::plist::Value readSettings() { return settings::readOnce(); }

SettingsContent SettingsFileCache::get() {
  settings::SettingsFile* file;
  {
    std::lock_guard lock(mutex_);
    if (!file_) file_ = std::make_unique<settings::SettingsFile>(settings::settingsPath());
    file = file_.get();
  }
  return file->current();
}

SettingsContent settingsContentOf(platform::plist::Value dict) {
  auto content = std::make_shared<platform::plist::CachedDictionary::Snapshot>();
  content->dict = std::move(dict);
  content->state = platform::plist::ReadState::Ok;
  return content;
}

namespace {

// Text of a key, with an empty text counting as absent.
std::optional<std::string> nonEmptyText(Ref settings, std::string_view key) {
  auto t = settings[key].text();
  if (!t || t->empty()) return std::nullopt;
  return t;
}

bool isSymbol(QChar c) {
  switch (c.category()) {
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Modifier:
    case QChar::Symbol_Other: return true;
    default: return false;
  }
}

int hexDigit(QChar c) {
  char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

// The platform's hexadecimal scanner: symbols before the number are skipped,
// an optional 0x prefix, then a run of digits; overflow saturates.
std::optional<uint32_t> scanHex(const QString& s) {
  qsizetype i = 0;
  while (i < s.size() && isSymbol(s[i])) ++i;
  if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X') && i + 2 < s.size() &&
      hexDigit(s[i + 2]) >= 0)
    i += 2;
  if (i >= s.size() || hexDigit(s[i]) < 0) return std::nullopt;
  uint64_t value = 0;
  for (; i < s.size() && hexDigit(s[i]) >= 0; ++i) {
    value = value * 16 + static_cast<uint64_t>(hexDigit(s[i]));
    if (value > UINT32_MAX) value = UINT32_MAX + uint64_t{1};
  }
  return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

double channel(uint32_t v) { return static_cast<double>(static_cast<float>(v) / 255.0f); }

}  // namespace

std::optional<platform::Color> parseColor(std::string_view text) {
  QString s = platform::toQString(text);
  s.remove(QLatin1Char('#'));
  auto value = scanHex(s);
  if (!value) return std::nullopt;
  uint32_t v = *value;
  switch (s.size()) {
    case 8:
      return platform::Color{channel((v >> 16) & 0xFF), channel((v >> 8) & 0xFF), channel(v & 0xFF),
                         static_cast<double>((v >> 24) & 0xFF) / 255.0};
    case 6: return platform::Color{channel((v >> 16) & 0xFF), channel((v >> 8) & 0xFF), channel(v & 0xFF), 1.0};
    case 3:
      return platform::Color{channel(((v >> 8) & 0xF) * 17), channel(((v >> 4) & 0xF) * 17), channel((v & 0xF) * 17),
                         1.0};
    default: return platform::Color{1.0, 1.0, 1.0, 1.0};
  }
}

size_t logLimitFrom(Ref settings) {
  Ref value = settings[keys::kLogLimit];
  if (!value) return logs::kKeepAll;
  const auto type = value.type();
  auto n = type == platform::plist::Type::Integer || type == platform::plist::Type::Real ? value.integer()
                                                                                         : std::nullopt;
  if (n && *n >= 0) return static_cast<size_t>(*n);
  platform::log("CalmoraDebug: logLimit ", value.text().value_or("of another type"),
                " is no count of records; every record is kept");
  return logs::kKeepAll;
}

bool optInSwitch(Ref settings, std::string_view key) {
  Ref value = settings[key];
  if (value.type() == platform::plist::Type::None) return false;
  if (value.type() == platform::plist::Type::Bool) return value.truthy();
  platform::log("CalmoraDebug: ", key, " is not a boolean, read as false: ", value.text().value_or("(not text)"));
  return false;
}

SettingsSnapshot snapshotFrom(Ref settings, bool* tweakEnabled) {
  if (tweakEnabled) *tweakEnabled = settings[keys::kIsTweakEnabled].truthy();
  SettingsSnapshot s;
  s.methodspecifier = calmora::settings::methodSpecifier(settings);
  s.ignoretime = settings[keys::kIgnoreTime].truthy();
  s.selectedSound = calmora::settings::soundID(settings);
  s.chosenColor = parseColor(nonEmptyText(settings, keys::kColor).value_or(std::string(keys::kDefaultColor)));
  s.coordinatesForX = calmora::settings::coordinate(settings, keys::kXCoordinates);
  s.coordinatesForY = calmora::settings::coordinate(settings, keys::kYCoordinates);
  s.logLimit = logLimitFrom(settings);
  s.overnightWindows = optInSwitch(settings, keys::kOvernightWindows);
  s.blockUnknown = optInSwitch(settings, keys::kBlockUnknown);
  s.repeatCallers = optInSwitch(settings, keys::kRepeatCallers);
  return s;
}

}  // namespace calmora
