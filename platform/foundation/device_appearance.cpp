#include "platform/foundation/device_appearance.h"

#include "platform/foundation/dbus_center.h"
#include "platform/foundation/device_bus.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/plist.h"

namespace platform {

namespace {

Result<void, std::string> change(const std::filesystem::path& root, const char* key, plist::Value value,
                                 const char* signal) {
  const auto file = root / kDeviceDescriptionFile;
  auto description = plist::readDictionary(file);
  // Written over, an unreadable description would lose what it holds.
  if (description.state == plist::ReadState::Unreadable) return file.string() + " cannot be read; left as it is";
  description.dict.set(key, std::move(value));
  if (auto written = plist::writeXmlAtomically(file, description.dict.ref()); !written)
    return std::string("cannot write ") + file.string() + ": " + written.error().describe();
  std::string address = deviceBusAddress(root);
  if (address.empty() || !busReachable(address)) address = ensureDeviceBus(root);
  auto center = address.empty() ? nullptr : makeDBusCenter(address);
  if (!center) return std::string("the device at ") + root.string() + " has no bus";
  center->post(signal, {});
  // Returning before the bus has the message could lose it.
  if (!center->sync()) return std::string("the device's bus did not take the announcement");
  return {};
}

}  // namespace

Result<void, std::string> setDeviceAppearance(const std::filesystem::path& root, std::string_view style) {
  if (style != "light" && style != "dark") return std::string("the appearance is light or dark");
  return change(root, "Appearance", plist::Value::string(std::string(style)), kAppearanceSignal);
}

Result<void, std::string> setDeviceSoundSwitch(const std::filesystem::path& root, SoundSwitch which, bool on) {
  return change(root, which == SoundSwitch::Sound ? "Sound" : "Silent", plist::Value::boolean(on), kSoundSignal);
}

}  // namespace platform
