#include "platform/foundation/device_description.h"

#include <QLocale>
#include <QRegularExpression>
#include <sstream>

#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"

namespace platform {

bool DeviceDescription::isSystemAtLeast(int major, int minor, int patch) const {
  int parts[3] = {0, 0, 0};
  std::istringstream in(systemVersion);
  std::string piece;
  for (int i = 0; i < 3 && std::getline(in, piece, '.'); ++i) {
    try {
      parts[i] = std::stoi(piece);
    } catch (...) {
      parts[i] = 0;
    }
  }
  int want[3] = {major, minor, patch};
  for (int i = 0; i < 3; ++i)
    if (parts[i] != want[i]) return parts[i] > want[i];
  return true;
}

namespace {

// Keeps the default unless the key holds a number inside `range`; anything
// else (zero, negative, infinite, absurdly large) would make a screen that
// nobody can draw.
void readScreenValue(const std::filesystem::path& root, plist::Ref r, const char* key, ScreenRange range,
                     double& value) {
  if (!r[key]) return;
  auto v = r[key].real();
  if (v && *v >= range.min && *v <= range.max) {
    value = *v;
    return;
  }
  log("Device description ", (root / kDeviceDescriptionFile).string(), ": ", key, " ",
      v ? std::to_string(*v) : std::string("is not a number"), " is outside ", range.min, " to ", range.max,
      "; using ", value);
}

}  // namespace

DeviceDescription readDeviceDescription(const std::filesystem::path& root) {
  DeviceDescription d;
  auto file = plist::readDictionary(root / kDeviceDescriptionFile);
  auto r = file.dict.ref();
  if (auto v = r["SystemVersion"].text()) d.systemVersion = *v;
  readScreenValue(root, r, "ScreenWidth", kScreenPointRange, d.screenWidth);
  readScreenValue(root, r, "ScreenHeight", kScreenPointRange, d.screenHeight);
  readScreenValue(root, r, "ScreenScale", kScreenScaleRange, d.screenScale);
  if (auto v = r["Biometry"].text()) d.biometry = *v;
  if (r["BiometryEnrolled"]) d.biometryEnrolled = r["BiometryEnrolled"].truthy();
  if (r["PasscodeSet"]) d.passcodeSet = r["PasscodeSet"].truthy();
  if (r["ContactsAccess"]) d.contactsAccess = r["ContactsAccess"].truthy();
  if (r["Sound"]) d.sound = r["Sound"].truthy();
  if (r["Silent"]) d.silent = r["Silent"].truthy();
  if (auto v = r["Appearance"].text()) {
    if (*v == "light" || *v == "dark")
      d.appearance = *v;
    else
      log("Device description ", (root / kDeviceDescriptionFile).string(), ": Appearance '", *v,
          "' is neither light nor dark; using light");
  }
  if (auto v = r["Locale"].text()) {
    static const QRegularExpression shape("^[A-Za-z]{2,3}(_[A-Za-z0-9]{2,8})*$");
    if (shape.match(QString::fromStdString(*v)).hasMatch())
      d.locale = *v;
    else
      log("Device description ", (root / kDeviceDescriptionFile).string(), ": Locale '", *v,
          "' names no locale; using ", d.locale);
  }
  d.clock = deviceClockOf(r);
  return d;
}

clock::DeviceClock deviceClockOf(plist::Ref description) {
  clock::DeviceClock c;
  auto ms = [](double seconds) { return static_cast<int64_t>(std::llround(seconds * 1000.0)); };
  // Bounded so that the host's time plus an offset cannot overflow.
  auto seconds = [&](std::string_view key) -> int64_t {
    auto v = description[key].real();
    if (!v) v = description[key].integer();
    return v && std::isfinite(*v) && std::abs(*v) < 1e12 ? ms(*v) : 0;
  };
  c.offsetMs = seconds("ClockOffset");
  c.advanceMs = seconds("ClockAdvance");
  if (auto text = description["ClockFixed"].text()) {
    const QDateTime at = QDateTime::fromString(QString::fromStdString(*text), Qt::ISODateWithMs);
    if (at.isValid()) c.fixedMs = at.toMSecsSinceEpoch();
  }
  return c;
}

void setDeviceClock(plist::Value& description, const clock::DeviceClock& c) {
  auto seconds = [](int64_t ms) { return plist::Value::real(static_cast<double>(ms) / 1000.0); };
  description.remove("ClockOffset");
  description.remove("ClockFixed");
  description.remove("ClockAdvance");
  if (c.offsetMs != 0) description.set("ClockOffset", seconds(c.offsetMs));
  if (c.fixedMs)
    description.set("ClockFixed", plist::Value::string(QDateTime::fromMSecsSinceEpoch(*c.fixedMs, QTimeZone::utc())
                                                           .toString(Qt::ISODateWithMs)
                                                           .toStdString()));
  if (c.advanceMs != 0) description.set("ClockAdvance", seconds(c.advanceMs));
}

void adoptDeviceLocale(const DeviceDescription& d) { QLocale::setDefault(QLocale(QString::fromStdString(d.locale))); }

Result<void> writeDeviceDescription(const std::filesystem::path& root, const DeviceDescription& d) {
  auto v = plist::Value::dict();
  v.set("SystemVersion", plist::Value::string(d.systemVersion));
  v.set("ScreenWidth", plist::Value::real(d.screenWidth));
  v.set("ScreenHeight", plist::Value::real(d.screenHeight));
  v.set("ScreenScale", plist::Value::real(d.screenScale));
  v.set("Biometry", plist::Value::string(d.biometry));
  v.set("BiometryEnrolled", plist::Value::boolean(d.biometryEnrolled));
  v.set("PasscodeSet", plist::Value::boolean(d.passcodeSet));
  v.set("ContactsAccess", plist::Value::boolean(d.contactsAccess));
  v.set("Appearance", plist::Value::string(d.appearance));
  v.set("Locale", plist::Value::string(d.locale));
  v.set("Sound", plist::Value::boolean(d.sound));
  v.set("Silent", plist::Value::boolean(d.silent));
  return plist::writeXmlAtomically(root / kDeviceDescriptionFile, v.ref());
}

}  // namespace platform
