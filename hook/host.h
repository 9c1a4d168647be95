// The library's thin layer over the home screen's classes: every message it
// sends to the host goes through here, by class and selector name.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/runtime/runtime.h"
#include "platform/foundation/host_values.h"

namespace calmora::hostapi {

using host::Text;

// ---- telephony
struct CallFields {
  bool isIncoming = false;
  Text contactIdentifier;
  int64_t callStatus = 0;
  Text displayName;
  Text providerBundleIdentifier;
  Text providerLocalizedName;
};
CallFields readCall(const rt::Id& call);
rt::Id notificationObject(const rt::Id& notification);
// A received signal as the notification object the host hands observers.
rt::Id notificationFor(const std::string& name, const std::map<std::string, std::string>& userInfo);
Text userInfoValue(const rt::Id& notification, const std::string& key);
// TUCallCenter sharedInstance, disconnectAllCalls; the class is looked up
// on first use and then kept.
void disconnectAllCalls();

// ---- bulletins
struct BulletinFields {
  Text sectionID;
  Text title, subtitle, message;
  std::optional<double> date;  // seconds since 1970
};
BulletinFields readBulletin(const rt::Id& bulletin);

// ---- screen
host::Rect mainScreenBounds();
double mainScreenScale();

// ---- apps and icons
// SBApplicationController sharedInstance, applicationWithBundleIdentifier:,
// displayName.
Text applicationDisplayName(const Text& bundleIdentifier);
// SBIconController sharedInstance, model, expectedIconForDisplayIdentifier:.
rt::Id expectedIcon(const Text& bundleIdentifier);
rt::Id generateIconImageWithInfo(const rt::Id& icon, const host::IconImageInfo& info);
rt::Id generateIconImage(const rt::Id& icon, int64_t format);
bool isOperatingSystemAtLeast(int major, int minor, int patch);
// UIImagePNGRepresentation.
std::string pngRepresentation(const rt::Id& image);
// UIApplication sharedApplication, launchApplicationWithIdentifier:suspended:.
void launchApplication(const Text& bundleIdentifier, bool suspended);

// ---- the status-bar window's marker label (methods the library adds)
rt::Id windowLabel(const rt::Id& window);
void setWindowLabel(const rt::Id& window, const rt::Id& label);
void loadNotificationIcon(const rt::Id& window);

// ---- the home-screen controller (a method the library adds)
void launchApp(const rt::Id& controller, const rt::Id& notification);

// ---- views
rt::Id newLabel(const host::Rect& frame);
void setFrame(const rt::Id& view, const host::Rect& frame);
void setAlpha(const rt::Id& view, double alpha);
void addSubview(const rt::Id& parent, const rt::Id& child);
void removeFromSuperview(const rt::Id& view);
void setBackgroundColor(const rt::Id& view, const std::optional<host::Color>& color);
void setCornerRadius(const rt::Id& view, double radius);
void setMasksToBounds(const rt::Id& view, bool masks);
void setLabelText(const rt::Id& label, const Text& text);
void setTextAlignment(const rt::Id& label, int64_t alignment);
void setSystemFont(const rt::Id& label, double size);
void setTextColor(const rt::Id& label, const host::Color& color);
void setNumberOfLines(const rt::Id& label, int64_t lines);
void setLineBreakMode(const rt::Id& label, int64_t mode);

}  // namespace calmora::hostapi
