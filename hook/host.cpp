#include "hook/host.h"

#include <atomic>

#include "hook/process_state.h"

namespace calmora::hostapi {

namespace {
// A class looked up by name at its first use and held afterwards.
rt::Class* heldClass(std::atomic<rt::Class*>& slot, const char* name) {
  rt::Class* cls = slot.load();
  if (!cls) {
    cls = rt::getClass(name);
    slot.store(cls);
  }
  return cls;
}
}  // namespace

CallFields readCall(const rt::Id& call) {
  CallFields f;
  f.isIncoming = rt::send<bool>(call, "isIncoming");
  f.contactIdentifier = rt::send<Text>(call, "contactIdentifier");
  f.callStatus = rt::send<int64_t>(call, "callStatus");
  f.displayName = rt::send<Text>(call, "displayName");
  rt::Id provider = rt::send<rt::Id>(call, "displayProvider");
  f.providerBundleIdentifier = rt::send<Text>(provider, "bundleIdentifier");
  f.providerLocalizedName = rt::send<Text>(provider, "localizedName");
  return f;
}

rt::Id notificationObject(const rt::Id& notification) { return rt::send<rt::Id>(notification, "object"); }

rt::Id notificationFor(const std::string& name, const std::map<std::string, std::string>& userInfo) {
  return rt::sendToClass<rt::Id, std::string, std::map<std::string, std::string>>(
      rt::getClass("NSNotification"), "notificationWithName:userInfo:", name, userInfo);
}

Text userInfoValue(const rt::Id& notification, const std::string& key) {
  return rt::send<Text, Text>(notification, "userInfoValueForKey:", key);
}

void disconnectAllCalls() {
  rt::Id center = rt::sendToClass<rt::Id>(heldClass(process().hostClasses.callCenter, "TUCallCenter"), "sharedInstance");
  rt::send<void>(center, "disconnectAllCalls");
}

BulletinFields readBulletin(const rt::Id& bulletin) {
  BulletinFields f;
  f.sectionID = rt::send<Text>(bulletin, "sectionID");
  rt::Id content = rt::send<rt::Id>(bulletin, "content");
  f.title = rt::send<Text>(content, "title");
  f.subtitle = rt::send<Text>(content, "subtitle");
  f.message = rt::send<Text>(content, "message");
  f.date = rt::send<std::optional<double>>(bulletin, "date");
  return f;
}

host::Rect mainScreenBounds() {
  return rt::send<host::Rect>(rt::sendToClass<rt::Id>(rt::getClass("UIScreen"), "mainScreen"), "bounds");
}

double mainScreenScale() {
  return rt::send<double>(rt::sendToClass<rt::Id>(rt::getClass("UIScreen"), "mainScreen"), "scale");
}

Text applicationDisplayName(const Text& bundleIdentifier) {
  rt::Id controller =
      rt::sendToClass<rt::Id>(heldClass(process().hostClasses.applicationController, "SBApplicationController"), "sharedInstance");
  rt::Id app = rt::send<rt::Id, Text>(controller, "applicationWithBundleIdentifier:", bundleIdentifier);
  return rt::send<Text>(app, "displayName");
}

rt::Id expectedIcon(const Text& bundleIdentifier) {
  rt::Id controller = rt::sendToClass<rt::Id>(heldClass(process().hostClasses.iconController, "SBIconController"), "sharedInstance");
  rt::Id model = rt::send<rt::Id>(controller, "model");
  return rt::send<rt::Id, Text>(model, "expectedIconForDisplayIdentifier:", bundleIdentifier);
}

rt::Id generateIconImageWithInfo(const rt::Id& icon, const host::IconImageInfo& info) {
  return rt::send<rt::Id, host::IconImageInfo>(icon, "generateIconImageWithInfo:", info);
}

rt::Id generateIconImage(const rt::Id& icon, int64_t format) {
  return rt::send<rt::Id, int64_t>(icon, "generateIconImage:", format);
}

bool isOperatingSystemAtLeast(int major, int minor, int patch) {
  rt::Id info = rt::sendToClass<rt::Id>(rt::getClass("NSProcessInfo"), "processInfo");
  return rt::send<bool, host::OperatingSystemVersion>(info, "isOperatingSystemAtLeastVersion:",
                                                      host::OperatingSystemVersion{major, minor, patch});
}

std::string pngRepresentation(const rt::Id& image) { return rt::send<std::string>(image, "PNGRepresentation"); }

void launchApplication(const Text& bundleIdentifier, bool suspended) {
  rt::Id app = rt::sendToClass<rt::Id>(rt::getClass("UIApplication"), "sharedApplication");
  rt::send<bool, Text, bool>(app, "launchApplicationWithIdentifier:suspended:", bundleIdentifier, suspended);
}

rt::Id windowLabel(const rt::Id& window) { return rt::send<rt::Id>(window, "label"); }
void setWindowLabel(const rt::Id& window, const rt::Id& label) { rt::send<void, rt::Id>(window, "setLabel:", label); }
void loadNotificationIcon(const rt::Id& window) { rt::send<void>(window, "loadNotificationIcon"); }

void launchApp(const rt::Id& controller, const rt::Id& notification) {
  rt::send<void, rt::Id>(controller, "launchApp:", notification);
}

rt::Id newLabel(const host::Rect& frame) {
  rt::Id label = rt::createInstance(rt::getClass("UILabel"));
  setFrame(label, frame);
  return label;
}

void setFrame(const rt::Id& view, const host::Rect& frame) { rt::send<void, host::Rect>(view, "setFrame:", frame); }
void setAlpha(const rt::Id& view, double alpha) { rt::send<void, double>(view, "setAlpha:", alpha); }
void addSubview(const rt::Id& parent, const rt::Id& child) { rt::send<void, rt::Id>(parent, "addSubview:", child); }
void removeFromSuperview(const rt::Id& view) { rt::send<void>(view, "removeFromSuperview"); }

}  // namespace calmora::hostapi

namespace calmora::hostapi {

void setBackgroundColor(const rt::Id& view, const std::optional<host::Color>& color) {
  rt::send<void, std::optional<host::Color>>(view, "setBackgroundColor:", color);
}
void setCornerRadius(const rt::Id& view, double radius) {
  rt::send<void, double>(rt::send<rt::Id>(view, "layer"), "setCornerRadius:", radius);
}
void setMasksToBounds(const rt::Id& view, bool masks) {
  rt::send<void, bool>(rt::send<rt::Id>(view, "layer"), "setMasksToBounds:", masks);
}
void setLabelText(const rt::Id& label, const Text& text) { rt::send<void, Text>(label, "setText:", text); }
void setTextAlignment(const rt::Id& label, int64_t alignment) {
  rt::send<void, int64_t>(label, "setTextAlignment:", alignment);
}
void setSystemFont(const rt::Id& label, double size) { rt::send<void, double>(label, "setFont:", size); }
void setTextColor(const rt::Id& label, const host::Color& color) {
  rt::send<void, host::Color>(label, "setTextColor:", color);
}
void setNumberOfLines(const rt::Id& label, int64_t lines) { rt::send<void, int64_t>(label, "setNumberOfLines:", lines); }
void setLineBreakMode(const rt::Id& label, int64_t mode) { rt::send<void, int64_t>(label, "setLineBreakMode:", mode); }

}  // namespace calmora::hostapi
