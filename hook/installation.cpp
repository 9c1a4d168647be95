#include "hook/installation.h"

#include "hook/bulletin_interception.h"
#include "hook/call_interception.h"
#include "hook/home_screen_appearance.h"
#include "hook/marker.h"
#include "hook/messaging_apps.h"
#include "hook/process_state.h"

namespace calmora {

void installHooks() {
  PreviousImplementations& previous = hostBindings().previous;
  runtime::Class* statusBarWindow = runtime::getClass("UIStatusBarWindow");
  runtime::Class* telephonyManager = runtime::getClass("SBTelephonyManager");
  runtime::Class* call = runtime::getClass("TUCall");
  runtime::Class* bulletinServer = runtime::getClass("BBServer");
  runtime::Class* homeScreen = runtime::getClass("SBHomeScreenViewController");
  const std::string object = "@";

  runtime::addProperty(statusBarWindow, "label", {{"T", "@\"UILabel\""}, {"&", ""}, {"N", ""}});
  runtime::addMethod<runtime::Id>(statusBarWindow, "label", marker::label, object + "@:");
  runtime::addMethod<void, runtime::Id>(statusBarWindow, "setLabel:", marker::setLabel, "v@:" + object);
  runtime::addMethod<void>(statusBarWindow, "loadNotificationIcon", marker::loadNotificationIcon, "v@:");
  runtime::hookMessage<void, runtime::Id>(statusBarWindow, "setStatusBar:", marker::setStatusBar, &previous.setStatusBar);
  runtime::hookMessage<void, runtime::Id>(telephonyManager, "callEventHandler:", calls::callEventHandler,
                                &previous.callEventHandler);
  runtime::hookMessage<void, runtime::Id>(call, "updateWithCall:", calls::updateWithCall, &previous.updateWithCall);
  runtime::hookMessage<void, runtime::Id, uint64_t>(bulletinServer, "publishBulletin:destinations:",
                                          bulletins::publishBulletin, &previous.publishBulletin);
  runtime::hookMessage<void, bool>(homeScreen, "viewDidAppear:", homescreen::viewDidAppear, &previous.viewDidAppear);
  runtime::addMethod<void, runtime::Id>(homeScreen, "launchApp:", homescreen::launchApp, "v@:@");
}

void loadTimeStep1() {
  bool enabled = false;
  decisionState().snapshot = snapshotFrom(readSettings().ref(), &enabled);
  if (enabled) installHooks();
}

void loadTimeStep2() { decisionState().messagingApps = buildMessagingApps(); }

}  // namespace calmora
