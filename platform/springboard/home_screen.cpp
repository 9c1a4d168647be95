#include "platform/springboard/home_screen.h"

#include "platform/apps/icon_render.h"
#include "platform/springboard/runtime_views.h"

namespace platform::springboard {
namespace {
runtime::Id& controllerStorage() {
  static runtime::Id c;
  return c;
}

runtime::Id singleton(runtime::Class* cls, std::string_view selector) {
  runtime::Id instance = std::make_shared<runtime::Object>(cls);
  runtime::defineClassMethod<runtime::Id>(cls, selector, [instance](const runtime::Id&) { return instance; });
  return instance;
}

using Apps = std::shared_ptr<platform::apps::AppRegistry>;

void registerApplications(const Apps& apps) {
  runtime::Class* application = runtime::registerClass("SBApplication");
  runtime::defineMethod<Text>(application, "displayName", [](const runtime::Id& self) -> Text {
    auto a = runtime::as<SBApplication>(self);
    return a ? Text(a->info.displayName) : std::nullopt;
  });
  runtime::defineMethod<Text>(application, "bundleIdentifier", [](const runtime::Id& self) -> Text {
    auto a = runtime::as<SBApplication>(self);
    return a ? Text(a->info.bundleIdentifier) : std::nullopt;
  });

  runtime::Class* appController = runtime::registerClass("SBApplicationController");
  singleton(appController, "sharedInstance");
  runtime::defineMethod<runtime::Id, Text>(appController, "applicationWithBundleIdentifier:",
                                 [apps, application](const runtime::Id&, Text bundleID) -> runtime::Id {
                                   if (!bundleID) return nullptr;
                                   auto info = apps->app(*bundleID);
                                   if (!info) return nullptr;
                                   return std::make_shared<SBApplication>(application, *info);
                                 });
}

void registerIcons(const Apps& apps) {
  runtime::Class* icon = runtime::registerClass("SBIcon");
  runtime::defineMethod<runtime::Id, IconImageInfo>(icon, "generateIconImageWithInfo:",
                                          [](const runtime::Id& self, IconImageInfo i) -> runtime::Id {
                                            auto ic = runtime::as<SBIcon>(self);
                                            if (!ic) return nullptr;
                                            auto img = platform::apps::renderIcon(ic->info, i.width, i.height, i.scale,
                                                                                  i.continuousCornerRadius);
                                            return makeImage(std::move(img));
                                          });
  runtime::defineMethod<runtime::Id, int64_t>(icon, "generateIconImage:", [](const runtime::Id& self, int64_t format) -> runtime::Id {
    auto ic = runtime::as<SBIcon>(self);
    if (!ic) return nullptr;
    auto img = platform::apps::renderIconLegacy(ic->info, static_cast<int>(format));
    return makeImage(std::move(img));
  });

  runtime::Class* model = runtime::registerClass("SBIconModel");
  runtime::Id modelInstance = std::make_shared<runtime::Object>(model);
  runtime::defineMethod<runtime::Id, Text>(model, "expectedIconForDisplayIdentifier:",
                                 [apps, icon](const runtime::Id&, Text bundleID) -> runtime::Id {
                                   if (!bundleID) return nullptr;
                                   auto info = apps->app(*bundleID);
                                   if (!info || info->iconFile.empty()) return nullptr;
                                   return std::make_shared<SBIcon>(icon, *info);
                                 });
  runtime::Class* iconController = runtime::registerClass("SBIconController");
  singleton(iconController, "sharedInstance");
  runtime::defineMethod<runtime::Id>(iconController, "model", [modelInstance](const runtime::Id&) { return modelInstance; });
}

void registerSystem(DeviceRecord& record, const Apps& apps, const platform::DeviceDescription& device,
                    StartApp start) {
  runtime::Class* uiApplication = runtime::registerClass("UIApplication");
  singleton(uiApplication, "sharedApplication");
  runtime::defineMethod<bool, Text, bool>(uiApplication, "launchApplicationWithIdentifier:suspended:",
                                     [&record, apps, start](const runtime::Id&, Text bundleID, bool) {
                                       // Like the phone, an unknown identifier opens nothing,
                                       // but the request is still recorded.
                                       record.appLaunched(bundleID.value_or(""));
                                       if (start) start(bundleID.value_or(""));
                                       return bundleID && apps->app(*bundleID).has_value();
                                     });

  runtime::Class* processInfo = runtime::registerClass("NSProcessInfo");
  singleton(processInfo, "processInfo");
  runtime::defineMethod<bool, OperatingSystemVersion>(processInfo, "isOperatingSystemAtLeastVersion:",
                                                 [device](const runtime::Id&, OperatingSystemVersion v) {
                                                   return device.isSystemAtLeast(v.major, v.minor, v.patch);
                                                 });
}

}  // namespace

void registerHomeScreen(DeviceRecord& record, std::shared_ptr<platform::apps::AppRegistry> apps,
                        const platform::DeviceDescription& device, StartApp start) {
  runtime::Class* home = runtime::registerClass("SBHomeScreenViewController");
  runtime::defineMethod<void, bool>(home, "viewDidAppear:", [](const runtime::Id&, bool) {});
  controllerStorage() = std::make_shared<runtime::Object>(home);
  registerApplications(apps);
  registerIcons(apps);
  registerSystem(record, apps, device, std::move(start));
}

runtime::Id homeScreenController() { return controllerStorage(); }

}  // namespace platform::springboard
