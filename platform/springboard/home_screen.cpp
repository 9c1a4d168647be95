#include "platform/springboard/home_screen.h"

#include "platform/apps/icon_render.h"
#include "platform/springboard/uikit.h"

namespace host {
namespace {
rt::Id& controllerStorage() {
  static rt::Id c;
  return c;
}

rt::Id singleton(rt::Class* cls, std::string_view selector) {
  rt::Id instance = std::make_shared<rt::Object>(cls);
  rt::defineClassMethod<rt::Id>(cls, selector, [instance](const rt::Id&) { return instance; });
  return instance;
}

using Apps = std::shared_ptr<platform::apps::AppRegistry>;

void registerApplications(const Apps& apps) {
  rt::Class* application = rt::registerClass("SBApplication");
  rt::defineMethod<Text>(application, "displayName", [](const rt::Id& self) -> Text {
    auto a = rt::as<SBApplication>(self);
    return a ? Text(a->info.displayName) : std::nullopt;
  });
  rt::defineMethod<Text>(application, "bundleIdentifier", [](const rt::Id& self) -> Text {
    auto a = rt::as<SBApplication>(self);
    return a ? Text(a->info.bundleIdentifier) : std::nullopt;
  });

  rt::Class* appController = rt::registerClass("SBApplicationController");
  singleton(appController, "sharedInstance");
  rt::defineMethod<rt::Id, Text>(appController, "applicationWithBundleIdentifier:",
                                 [apps, application](const rt::Id&, Text bundleID) -> rt::Id {
                                   if (!bundleID) return nullptr;
                                   auto info = apps->app(*bundleID);
                                   if (!info) return nullptr;
                                   return std::make_shared<SBApplication>(application, *info);
                                 });
}

void registerIcons(const Apps& apps) {
  rt::Class* icon = rt::registerClass("SBIcon");
  rt::defineMethod<rt::Id, IconImageInfo>(icon, "generateIconImageWithInfo:",
                                          [](const rt::Id& self, IconImageInfo i) -> rt::Id {
                                            auto ic = rt::as<SBIcon>(self);
                                            if (!ic) return nullptr;
                                            auto img = platform::apps::renderIcon(ic->info, i.width, i.height, i.scale,
                                                                                  i.continuousCornerRadius);
                                            return img.isNull() ? nullptr : makeImage(std::move(img));
                                          });
  rt::defineMethod<rt::Id, int64_t>(icon, "generateIconImage:", [](const rt::Id& self, int64_t format) -> rt::Id {
    auto ic = rt::as<SBIcon>(self);
    if (!ic) return nullptr;
    auto img = platform::apps::renderIconLegacy(ic->info, static_cast<int>(format));
    return img.isNull() ? nullptr : makeImage(std::move(img));
  });

  rt::Class* model = rt::registerClass("SBIconModel");
  rt::Id modelInstance = std::make_shared<rt::Object>(model);
  rt::defineMethod<rt::Id, Text>(model, "expectedIconForDisplayIdentifier:",
                                 [apps, icon](const rt::Id&, Text bundleID) -> rt::Id {
                                   if (!bundleID) return nullptr;
                                   auto info = apps->app(*bundleID);
                                   if (!info || info->iconFile.empty()) return nullptr;
                                   return std::make_shared<SBIcon>(icon, *info);
                                 });
  rt::Class* iconController = rt::registerClass("SBIconController");
  singleton(iconController, "sharedInstance");
  rt::defineMethod<rt::Id>(iconController, "model", [modelInstance](const rt::Id&) { return modelInstance; });
}

void registerSystem(DeviceRecord& record, const Apps& apps, const platform::DeviceDescription& device) {
  rt::Class* uiApplication = rt::registerClass("UIApplication");
  singleton(uiApplication, "sharedApplication");
  rt::defineMethod<bool, Text, bool>(uiApplication, "launchApplicationWithIdentifier:suspended:",
                                     [&record, apps](const rt::Id&, Text bundleID, bool) {
                                       // Like the phone, an unknown identifier opens nothing,
                                       // but the request is still recorded.
                                       record.appLaunched(bundleID.value_or(""));
                                       return bundleID && apps->app(*bundleID).has_value();
                                     });

  rt::Class* processInfo = rt::registerClass("NSProcessInfo");
  singleton(processInfo, "processInfo");
  rt::defineMethod<bool, OperatingSystemVersion>(processInfo, "isOperatingSystemAtLeastVersion:",
                                                 [device](const rt::Id&, OperatingSystemVersion v) {
                                                   return device.isSystemAtLeast(v.major, v.minor, v.patch);
                                                 });
}

}  // namespace

void registerHomeScreen(DeviceRecord& record, std::shared_ptr<platform::apps::AppRegistry> apps,
                        const platform::DeviceDescription& device) {
  rt::Class* home = rt::registerClass("SBHomeScreenViewController");
  rt::defineMethod<void, bool>(home, "viewDidAppear:", [](const rt::Id&, bool) {});
  controllerStorage() = std::make_shared<rt::Object>(home);
  registerApplications(apps);
  registerIcons(apps);
  registerSystem(record, apps, device);
}

rt::Id homeScreenController() { return controllerStorage(); }

}  // namespace host
