// The simulated home-screen process: owns the host classes, the main screen
// and the record, loads the injected libraries, and delivers events through
// whatever implementations the runtime now holds.
#pragma once

#include <QJsonObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/apps/app_registry.h"
#include "platform/display_client/display_requests.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/sound.h"
#include "platform/foundation/status_extras.h"
#include "platform/springboard/app_processes.h"
#include "platform/springboard/bulletins.h"
#include "platform/springboard/calls.h"
#include "platform/springboard/notifications.h"
#include "platform/springboard/device_record.h"
#include "platform/springboard/telephony.h"

class QTimer;

namespace platform::uikit {
class UIViewController;
class UIWindow;
}

namespace platform::springboard {

class SBHomeScreenView;
class SBCallScreenView;
class SBOverlayWindow;
class SBStatusBarView;

inline constexpr std::string_view kBundleIdentifier = "com.apple.springboard";

// What stands in for the injection loader: tests load the library's logic
// themselves, between the host's registration and its first events.
using LoadLibraries = std::function<void()>;

class SpringBoard {
 public:
  explicit SpringBoard(std::filesystem::path root);
  ~SpringBoard();

  // Registers the host classes and the main screen, loads the injected
  // libraries (or runs `load` instead), gives the status-bar window its
  // status bar, shows the screen's window (the icons) and the overlay
  // window (the status-bar window and the banners) that the display lays
  // over whichever window is in front, and brings the home screen into
  // view. Runs once.
  void start(const LoadLibraries& load = {});

  // Each delivery answers whether the event reached the host's own handling.
  bool deliverCallEvent(const CallDescription& call);
  bool deliverCallUpdate(const CallDescription& call);
  bool deliverBulletin(const BulletinDescription& bulletin);
  // A call the hook library handed on rings: the call screen comes over
  // whatever is in front, or the call waits behind the one there.
  void ring(const CallDescription& call);
  // The call ringing or in progress, for the person's answer.
  CallQueue& calls() { return *calls_; }
  // Banners, the notification list and the badges of bulletins handed on.
  NotificationsController& notifications() { return *notifications_; }
  void appear();
  // A further status bar for the status-bar window, as the phone gives on
  // some transitions.
  void setStatusBar();

  // Asks the shared application to launch the app, as the phone's home
  // screen does, and answers what came of it.
  Launch launch(const std::string& bundleIdentifier);
  AppProcesses& processes() { return *processes_; }
  // The home screen comes to front; the apps keep running behind it.
  void bringToFront();
  // What the latest tap on an icon opened, once.
  std::optional<Launch> takeIconLaunch() { return std::exchange(iconLaunch_, std::nullopt); }
  // Lays out the icons again when the installed apps changed.
  void reloadIcons();
  // The status bar's text for what is in front, or as over the wallpaper
  // (the home screen's own picture) when `asOverHome`.
  void restyleStatusBar(bool asOverHome = false);

  struct Marker {
    bool visible = false;
    Rect frame;
    std::optional<Color> color;
  };
  std::optional<Marker> marker() const;

  // Records a sound another process of the device reported
  // (sound::kPlayedSignal); a malformed report is logged and dropped.
  void soundReported(const platform::UserInfo& report);
  // Sounds are heard where the device runs with sound and is not silent;
  // read anew from the device description at each switch.
  void soundSwitched();

  QJsonObject status() const;
  DeviceRecord& record() { return record_; }
  const std::vector<std::string>& injected() const { return injected_; }
  runtime::Id statusBarWindow() const { return statusBarWindow_; }
  const platform::DeviceDescription& device() const { return device_; }
  std::shared_ptr<platform::apps::AppRegistry> apps() const { return apps_; }

 private:
  std::filesystem::path root_;
  platform::DeviceDescription device_;
  std::shared_ptr<platform::apps::AppRegistry> apps_;
  DeviceRecord record_;
  platform::contacts::NumberBook numbers_;
  std::shared_ptr<platform::sound::Output> output_;
  std::vector<std::string> injected_;
  // What the loaded libraries report in the status (installed at start).
  std::shared_ptr<platform::StatusExtras> extras_ = std::make_shared<platform::StatusExtras>();
  runtime::Id statusBarWindow_;
  std::shared_ptr<uikit::UIWindow> window_;
  void sayNoProgram(const std::string& bundleIdentifier);
  std::shared_ptr<SBHomeScreenView> icons_;
  std::shared_ptr<uikit::UIViewController> alerts_;
  std::unique_ptr<class OpenedRequests> opened_;
  std::optional<Launch> iconLaunch_;
  // Shared with the launch method the runtime holds, which may outlive
  // this home screen.
  std::shared_ptr<AppProcesses> processes_;
  // The device's display, where it serves; shared with the launch method
  // the runtime holds.
  std::shared_ptr<platform::display::DisplayRequests> display_;
  std::unique_ptr<CallQueue> calls_;
  std::unique_ptr<NotificationsController> notifications_;
  std::shared_ptr<SBCallScreenView> callScreen_;
  // The app in front when the call screen came, to bring back after.
  std::optional<std::string> frontBeforeCall_;
  uint64_t phoneSounds_ = 0;
  void callShown(const IncomingCall& call, CallState state);
  void callsGone();
  std::shared_ptr<SBOverlayWindow> overlay_;
  std::shared_ptr<SBStatusBarView> statusBar_;
  // The status bar's text follows what is in front, once per turn of the
  // event loop (the app processes tell while they reap).
  std::unique_ptr<QTimer> restyle_;
  bool started_ = false;
};

}  // namespace platform::springboard
