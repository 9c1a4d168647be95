// The library's thin layer over the home screen's classes: every message it
// sends to the host goes through here, by class and selector name.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/runtime/runtime.h"
#include "platform/foundation/host_values.h"

// The hook reaches the host through the runtime under this name.
namespace calmora {
namespace runtime = platform::runtime;
}

namespace calmora::hostapi {

using platform::Text;

// ---- telephony
struct CallFields {
  bool isIncoming = false;
  Text contactIdentifier;
  int64_t callStatus = 0;
  Text displayName;
  Text providerBundleIdentifier;
  Text providerLocalizedName;
};
CallFields readCall(const runtime::Id& call);
runtime::Id notificationObject(const runtime::Id& notification);
// A received signal as the notification object the host hands observers.
runtime::Id notificationFor(const std::string& name, const std::map<std::string, std::string>& userInfo);
Text userInfoValue(const runtime::Id& notification, const std::string& key);
// TUCallCenter sharedInstance, disconnectAllCalls; the class is looked up
// on first use and then kept.
void disconnectAllCalls();

// ---- bulletins
struct BulletinFields {
  Text sectionID;
  Text title, subtitle, message;
  std::optional<double> date;  // seconds since 1970
};
BulletinFields readBulletin(const runtime::Id& bulletin);

// ---- screen
platform::Rect mainScreenBounds();
double mainScreenScale();

// ---- apps and icons
// SBApplicationController sharedInstance, applicationWithBundleIdentifier:,
// displayName.
Text applicationDisplayName(const Text& bundleIdentifier);
// SBIconController sharedInstance, model, expectedIconForDisplayIdentifier:.
runtime::Id expectedIcon(const Text& bundleIdentifier);
runtime::Id generateIconImageWithInfo(const runtime::Id& icon, const platform::IconImageInfo& info);
runtime::Id generateIconImage(const runtime::Id& icon, int64_t format);
bool isOperatingSystemAtLeast(int major, int minor, int patch);
// UIImagePNGRepresentation.
std::string pngRepresentation(const runtime::Id& image);
// UIApplication sharedApplication, launchApplicationWithIdentifier:suspended:.
void launchApplication(const Text& bundleIdentifier, bool suspended);

// ---- the status-bar window's marker label (methods the library adds)
runtime::Id windowLabel(const runtime::Id& window);
void setWindowLabel(const runtime::Id& window, const runtime::Id& label);
void loadNotificationIcon(const runtime::Id& window);

// ---- the home-screen controller (a method the library adds)
void launchApp(const runtime::Id& controller, const runtime::Id& notification);

// ---- views
runtime::Id newLabel(const platform::Rect& frame);
void setFrame(const runtime::Id& view, const platform::Rect& frame);
void setAlpha(const runtime::Id& view, double alpha);
void addSubview(const runtime::Id& parent, const runtime::Id& child);
void removeFromSuperview(const runtime::Id& view);
void setBackgroundColor(const runtime::Id& view, const std::optional<platform::Color>& color);
void setCornerRadius(const runtime::Id& view, double radius);
void setMasksToBounds(const runtime::Id& view, bool masks);
void setLabelText(const runtime::Id& label, const Text& text);
void setTextAlignment(const runtime::Id& label, int64_t alignment);
void setSystemFont(const runtime::Id& label, double size);
void setTextColor(const runtime::Id& label, const platform::Color& color);
void setNumberOfLines(const runtime::Id& label, int64_t lines);
void setLineBreakMode(const runtime::Id& label, int64_t mode);

}  // namespace calmora::hostapi
