#include "hook/host.h"

#include <atomic>

#include "hook/process_state.h"

namespace calmora::hostapi {

namespace {
// A class looked up by name at its first use and held afterwards.
runtime::Class* heldClass(std::atomic<runtime::Class*>& slot, const char* name) {
  runtime::Class* cls = slot.load();
  if (!cls) {
    cls = runtime::getClass(name);
    slot.store(cls);
  }
  return cls;
}
}  // namespace

CallFields readCall(const runtime::Id& call) {
  CallFields f;
  f.isIncoming = runtime::send<bool>(call, "isIncoming");
  f.contactIdentifier = runtime::send<Text>(call, "contactIdentifier");
  f.callStatus = runtime::send<int64_t>(call, "callStatus");
  f.displayName = runtime::send<Text>(call, "displayName");
  runtime::Id provider = runtime::send<runtime::Id>(call, "displayProvider");
  f.providerBundleIdentifier = runtime::send<Text>(provider, "bundleIdentifier");
  f.providerLocalizedName = runtime::send<Text>(provider, "localizedName");
  return f;
}

runtime::Id notificationObject(const runtime::Id& notification) { return runtime::send<runtime::Id>(notification, "object"); }

runtime::Id notificationFor(const std::string& name, const std::map<std::string, std::string>& userInfo) {
  return runtime::sendToClass<runtime::Id, std::string, std::map<std::string, std::string>>(
      runtime::getClass("NSNotification"), "notificationWithName:userInfo:", name, userInfo);
}

Text userInfoValue(const runtime::Id& notification, const std::string& key) {
  return runtime::send<Text, Text>(notification, "userInfoValueForKey:", key);
}

void disconnectAllCalls() {
  runtime::Id center = runtime::sendToClass<runtime::Id>(heldClass(hostBindings().hostClasses.callCenter, "TUCallCenter"), "sharedInstance");
  runtime::send<void>(center, "disconnectAllCalls");
}

BulletinFields readBulletin(const runtime::Id& bulletin) {
  BulletinFields f;
  f.sectionID = runtime::send<Text>(bulletin, "sectionID");
  runtime::Id content = runtime::send<runtime::Id>(bulletin, "content");
  f.title = runtime::send<Text>(content, "title");
  f.subtitle = runtime::send<Text>(content, "subtitle");
  f.message = runtime::send<Text>(content, "message");
  f.date = runtime::send<std::optional<double>>(bulletin, "date");
  return f;
}

platform::Rect mainScreenBounds() {
  return runtime::send<platform::Rect>(runtime::sendToClass<runtime::Id>(runtime::getClass("UIScreen"), "mainScreen"), "bounds");
}

double mainScreenScale() {
  return runtime::send<double>(runtime::sendToClass<runtime::Id>(runtime::getClass("UIScreen"), "mainScreen"), "scale");
}

Text applicationDisplayName(const Text& bundleIdentifier) {
  runtime::Id controller =
      runtime::sendToClass<runtime::Id>(heldClass(hostBindings().hostClasses.applicationController, "SBApplicationController"), "sharedInstance");
  runtime::Id app = runtime::send<runtime::Id, Text>(controller, "applicationWithBundleIdentifier:", bundleIdentifier);
  return runtime::send<Text>(app, "displayName");
}

runtime::Id expectedIcon(const Text& bundleIdentifier) {
  runtime::Id controller = runtime::sendToClass<runtime::Id>(heldClass(hostBindings().hostClasses.iconController, "SBIconController"), "sharedInstance");
  runtime::Id model = runtime::send<runtime::Id>(controller, "model");
  return runtime::send<runtime::Id, Text>(model, "expectedIconForDisplayIdentifier:", bundleIdentifier);
}

runtime::Id generateIconImageWithInfo(const runtime::Id& icon, const platform::IconImageInfo& info) {
  return runtime::send<runtime::Id, platform::IconImageInfo>(icon, "generateIconImageWithInfo:", info);
}

runtime::Id generateIconImage(const runtime::Id& icon, int64_t format) {
  return runtime::send<runtime::Id, int64_t>(icon, "generateIconImage:", format);
}

bool isOperatingSystemAtLeast(int major, int minor, int patch) {
  runtime::Id info = runtime::sendToClass<runtime::Id>(runtime::getClass("NSProcessInfo"), "processInfo");
  return runtime::send<bool, platform::OperatingSystemVersion>(info, "isOperatingSystemAtLeastVersion:",
                                                      platform::OperatingSystemVersion{major, minor, patch});
}

std::string pngRepresentation(const runtime::Id& image) { return runtime::send<std::string>(image, "PNGRepresentation"); }

void launchApplication(const Text& bundleIdentifier, bool suspended) {
  runtime::Id app = runtime::sendToClass<runtime::Id>(runtime::getClass("UIApplication"), "sharedApplication");
  runtime::send<bool, Text, bool>(app, "launchApplicationWithIdentifier:suspended:", bundleIdentifier, suspended);
}

runtime::Id windowLabel(const runtime::Id& window) { return runtime::send<runtime::Id>(window, "label"); }
void setWindowLabel(const runtime::Id& window, const runtime::Id& label) { runtime::send<void, runtime::Id>(window, "setLabel:", label); }
void loadNotificationIcon(const runtime::Id& window) { runtime::send<void>(window, "loadNotificationIcon"); }

void launchApp(const runtime::Id& controller, const runtime::Id& notification) {
  runtime::send<void, runtime::Id>(controller, "launchApp:", notification);
}

runtime::Id newLabel(const platform::Rect& frame) {
  runtime::Id label = runtime::createInstance(runtime::getClass("UILabel"));
  setFrame(label, frame);
  return label;
}

void setFrame(const runtime::Id& view, const platform::Rect& frame) { runtime::send<void, platform::Rect>(view, "setFrame:", frame); }
void setAlpha(const runtime::Id& view, double alpha) { runtime::send<void, double>(view, "setAlpha:", alpha); }
void addSubview(const runtime::Id& parent, const runtime::Id& child) { runtime::send<void, runtime::Id>(parent, "addSubview:", child); }
void removeFromSuperview(const runtime::Id& view) { runtime::send<void>(view, "removeFromSuperview"); }

}  // namespace calmora::hostapi

namespace calmora::hostapi {

void setBackgroundColor(const runtime::Id& view, const std::optional<platform::Color>& color) {
  runtime::send<void, std::optional<platform::Color>>(view, "setBackgroundColor:", color);
}
void setCornerRadius(const runtime::Id& view, double radius) {
  runtime::send<void, double>(runtime::send<runtime::Id>(view, "layer"), "setCornerRadius:", radius);
}
void setMasksToBounds(const runtime::Id& view, bool masks) {
  runtime::send<void, bool>(runtime::send<runtime::Id>(view, "layer"), "setMasksToBounds:", masks);
}
void setLabelText(const runtime::Id& label, const Text& text) { runtime::send<void, Text>(label, "setText:", text); }
void setTextAlignment(const runtime::Id& label, int64_t alignment) {
  runtime::send<void, int64_t>(label, "setTextAlignment:", alignment);
}
void setSystemFont(const runtime::Id& label, double size) { runtime::send<void, double>(label, "setFont:", size); }
void setTextColor(const runtime::Id& label, const platform::Color& color) {
  runtime::send<void, platform::Color>(label, "setTextColor:", color);
}
void setNumberOfLines(const runtime::Id& label, int64_t lines) { runtime::send<void, int64_t>(label, "setNumberOfLines:", lines); }
void setLineBreakMode(const runtime::Id& label, int64_t mode) { runtime::send<void, int64_t>(label, "setLineBreakMode:", mode); }

}  // namespace calmora::hostapi
