#include "bench/calls_log.h"

#include "common/names.h"
#include "platform/apps/app_registry.h"
#include "platform/apps/default_apps.h"
#include "platform/apps/icon_render.h"
#include "platform/foundation/base64.h"

namespace calmora::bench {

using platform::plist::Value;

AppIcons installedAppIcons(const std::filesystem::path& root) {
  platform::apps::AppRegistry apps(root);
  AppIcons icons;
  for (const auto& id : platform::apps::defaultAppIdentifiers())
    if (auto app = apps.app(std::string(id)))
      if (auto icon = platform::apps::renderIcon(*app, 60, 60, 2, 12))
        icons.emplace_back(std::string(id), platform::base64Encode(icon->pngData().toStdString()));
  return icons;
}

Value callRecord(int i, const AppIcons::value_type& icon) {
  namespace f = calmora::names::record;
  auto r = Value::dict();
  r.set(f::kDate, Value::string("10:30:00 07-12-2026"));
  r.set(f::kIsRead, Value::boolean(i % 3 == 0));
  r.set(f::kData, Value::string("Call from Contact " + std::to_string(i)));
  r.set(f::kAppBID, Value::string(icon.first));
  r.set(f::kIconData, Value::string(icon.second));
  r.set(f::kFrom, Value::string("Contact " + std::to_string(i)));
  r.set(f::kAppName, Value::string(icon.first));
  return r;
}

Value callsLog(int records, const AppIcons& icons) {
  auto log = Value::dict();
  for (int i = 0; i < records; ++i) log.set(std::to_string(i), callRecord(i, icons[static_cast<size_t>(i) % icons.size()]));
  return log;
}

}  // namespace calmora::bench
