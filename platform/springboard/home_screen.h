// The home screen's controllers: the home-screen view controller, the icon
// controller and model, the application controller, the shared application
// and the process information.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/apps/app_registry.h"
#include "platform/foundation/device_description.h"
#include "platform/runtime/runtime.h"
#include "platform/springboard/device_record.h"
#include "platform/foundation/host_values.h"

namespace platform::springboard {

class SBApplication : public runtime::Object {
 public:
  SBApplication(runtime::Class* cls, platform::apps::AppInfo info) : runtime::Object(cls), info(std::move(info)) {}
  platform::apps::AppInfo info;
};

class SBIcon : public runtime::Object {
 public:
  SBIcon(runtime::Class* cls, platform::apps::AppInfo info) : runtime::Object(cls), info(std::move(info)) {}
  platform::apps::AppInfo info;
};

// What a launch request starts, after it was recorded: gets the bundle
// identifier as asked.
using StartApp = std::function<void(const std::string& bundleIdentifier)>;

// Registers the classes; the application and icon lookups answer from
// `apps`, the system version from `device`.
void registerHomeScreen(DeviceRecord& record, std::shared_ptr<platform::apps::AppRegistry> apps,
                        const platform::DeviceDescription& device, StartApp start = {});

runtime::Id homeScreenController();

}  // namespace platform::springboard
