// The names the three deliverables agree on. Each is defined once here and
// compiled into every deliverable; nothing else is shared between them.
#pragma once

#include <array>
#include <string_view>

namespace calmora::names {

// Files, as device paths.
inline constexpr std::string_view kSettingsPath =
    "/var/mobile/Library/Preferences/com.veltrane.calmoprefs.plist";
inline constexpr std::string_view kBlockedCallsPath =
    "/var/mobile/Library/Preferences/com.veltrane.calmoraBlockedCalls.plist";
inline constexpr std::string_view kBlockedNotifPath =
    "/var/mobile/Library/Preferences/com.veltrane.calmoraBlockedNotif.plist";

// The advisory lock that every writer of a log, and of the settings file,
// holds around its whole read-modify-write: an flock(LOCK_EX) on the file's
// path followed by this suffix. Readers take no lock; they rely on the atomic replacement.
inline constexpr std::string_view kLogLockSuffix = ".lock";

// Global settings keys.
namespace settings {
inline constexpr std::string_view kIsTweakEnabled = "isTweakEnabled";
inline constexpr std::string_view kMethodSpecifier = "methodspecifier";
inline constexpr std::string_view kIgnoreTime = "ignoretime";
inline constexpr std::string_view kSound = "sound";
inline constexpr std::string_view kColor = "color";
inline constexpr std::string_view kXCoordinates = "xcoordinates";
inline constexpr std::string_view kYCoordinates = "ycoordinates";
inline constexpr std::string_view kIsTouch = "isTouch";
inline constexpr std::string_view kLogLimit = "logLimit";  // records each log keeps; 0 or absent: all
// Opt-in rules, false or absent by default.
inline constexpr std::string_view kOvernightWindows = "overnightWindows";
inline constexpr std::string_view kBlockUnknown = "blockUnknown";
inline constexpr std::string_view kRepeatCallers = "repeatCallers";

// The opt-in keys are never contact keys, whatever they hold, so that
// switching one on changes no contact's decision. (The older global keys
// stay candidates, as documented.)
constexpr bool isOptInKey(std::string_view key) {
  return key == kOvernightWindows || key == kBlockUnknown || key == kRepeatCallers;
}

inline constexpr std::string_view kDefaultSound = "1000";
inline constexpr std::string_view kDefaultColor = "#E22300";
inline constexpr double kDefaultCoordinate = 95.0;

// Keys inside a contact entry. The per-app keys are formats over a bundle
// identifier or a weekday number.
inline constexpr std::string_view kIsBlocked = "isBlocked";
inline constexpr std::string_view kCallSwitchSuffix = "Call";       // "%@Call"
inline constexpr std::string_view kWeekdayPrefix = "weekday";       // "weekday%i"
inline constexpr std::string_view kWeekdayHourPrefix = "weekdayHour";  // "weekdayHour%i"

// A contact store identifier carries this suffix; contact keys never do.
inline constexpr std::string_view kABPersonSuffix = ":ABPerson";
}  // namespace settings

// Fields of the log records.
namespace record {
inline constexpr std::string_view kDate = "Date";
inline constexpr std::string_view kIsRead = "isRead";
inline constexpr std::string_view kData = "Data";
inline constexpr std::string_view kAppBID = "appBID";
inline constexpr std::string_view kIconData = "iconData";
inline constexpr std::string_view kFrom = "From";
inline constexpr std::string_view kAppName = "appName";
inline constexpr std::string_view kMsg = "msg";  // notification records only

inline constexpr std::string_view kDateFormat = "HH:mm:ss dd-MM-yyyy";
inline constexpr std::string_view kUnknown = "Unknown";
}  // namespace record

// Signals on the distributed notification center.
namespace signal {
inline constexpr std::string_view kShow = "com.veltrane.calmo/show";
inline constexpr std::string_view kHide = "com.veltrane.calmo/hide";
inline constexpr std::string_view kUnreadCall = "com.veltrane.calmo/unreadCall";
inline constexpr std::string_view kUnreadNotif = "com.veltrane.calmo/unreadNotif";
// "COunt" is the system's own spelling of these two names, which every
// sender and observer must share: it stays.
inline constexpr std::string_view kUnreadCallCount = "com.veltrane.calmo/unreadCallCOunt";
inline constexpr std::string_view kUnreadNotifCount = "com.veltrane.calmo/unreadNotifCOunt";
inline constexpr std::string_view kTableRefresh = "com.veltrane.calmo/tableRefresh";
inline constexpr std::string_view kMarkAllReadN = "com.veltrane.calmo/markAllReadN";
inline constexpr std::string_view kMarkAllReadC = "com.veltrane.calmo/markAllReadC";
inline constexpr std::string_view kMarkReadN = "com.veltrane.calmo/markReadN";
inline constexpr std::string_view kMarkReadC = "com.veltrane.calmo/markReadC";
inline constexpr std::string_view kAskTouchID = "com.veltrane.calmo/askTouchID";
inline constexpr std::string_view kShowIcon = "com.veltrane.calmoraprefs.showIcon";
inline constexpr std::string_view kOpenInApp = "CalmoraOpenInApp";

inline constexpr std::array<std::string_view, 14> kCatalogue = {
    kShow,         kHide,         kUnreadCall,  kUnreadNotif, kUnreadCallCount,
    kUnreadNotifCount, kTableRefresh, kMarkAllReadN, kMarkAllReadC, kMarkReadN,
    kMarkReadC,    kAskTouchID,   kShowIcon,    kOpenInApp};

// Payload keys; every value is text.
inline constexpr std::string_view kBadges = "badges";
inline constexpr std::string_view kKey = "key";
inline constexpr std::string_view kBundleID = "bID";
}  // namespace signal

}  // namespace calmora::names
