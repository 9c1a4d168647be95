#include "CalmoPrefs/settings_store.h"

#include "common/settings_file.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"

namespace calmoprefs {

namespace plist = platform::plist;

namespace {
plist::Value copyOrNull(plist::Ref value) { return value ? value.copy() : plist::Value(); }
}  // namespace

plist::Value readSettings() {
  auto settings = calmora::settings::readOnce();
  return settings.isDict() ? std::move(settings) : plist::Value::dict();
}

namespace {
// Every write changes the file as it is at that moment, under the lock all
// its writers take, so a key another writer added meanwhile is kept.
platform::Result<void> changeSettings(const calmora::settings::SettingsChange& change) {
  auto path = calmora::settings::settingsPath();
  // A device that never had preferences has no folder for them yet.
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  auto written = calmora::settings::update(path, change);
  if (!written) platform::log("CalmoPrefs: the settings were not written: ", written.error().describe());
  return written;
}
}  // namespace

plist::Value readSetting(const QString& key, plist::Ref fallback) {
  auto settings = readSettings();
  auto found = settings[key.toStdString()];
  return copyOrNull(found ? found : fallback);
}

platform::Result<void> writeSetting(const QString& key, plist::Value value) {
  return changeSettings([&](plist::Value& settings) { settings.set(key.toStdString(), value.ref().copy()); });
}

plist::Value readContactSetting(plist::Ref settings, const QString& contactKey, const QString& key,
                                plist::Ref fallback) {
  auto entry = settings[contactKey.toStdString()];
  auto found = entry.isDict() ? entry[key.toStdString()] : plist::Ref();
  return copyOrNull(found ? found : fallback);
}

platform::Result<void> writeContactSetting(const QString& contactKey, const QString& key, plist::Value value) {
  return changeSettings([&](plist::Value& settings) {
    auto contact = contactKey.toStdString();
    if (!settings[contact].isDict()) settings.set(contact, plist::Value::dict());
    if (value) {
      plist::setItem(settings[contact], key.toStdString(), value.ref().copy());
      return;
    }
    plist::Value entry = settings[contact].copy();
    entry.remove(key.toStdString());
    settings.set(contact, std::move(entry));
  });
}

plist::Value readDomain(plist::Ref domain) {
  auto name = domain.string();
  if (!name || name->empty() || name->find('/') != std::string_view::npos || *name == "..")
    return plist::Value::dict();
  auto read = plist::readDictionary(platform::devicePath("/var/mobile/Library/Preferences/" + std::string(*name) + ".plist"));
  return read.dict.isDict() ? std::move(read.dict) : plist::Value::dict();
}

}  // namespace calmoprefs
