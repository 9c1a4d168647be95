#include "hook/installation.h"

#include "hook/bulletin_interception.h"
#include "hook/call_interception.h"
#include "hook/home_screen_appearance.h"
#include "hook/marker.h"
#include "hook/messaging_apps.h"
#include "hook/process_state.h"

namespace calmora {

void installHooks() {
  PreviousImplementations& previous = process().previous;
  rt::Class* statusBarWindow = rt::getClass("UIStatusBarWindow");
  rt::Class* telephonyManager = rt::getClass("SBTelephonyManager");
  rt::Class* call = rt::getClass("TUCall");
  rt::Class* bulletinServer = rt::getClass("BBServer");
  rt::Class* homeScreen = rt::getClass("SBHomeScreenViewController");
  const std::string object = "@";

  rt::addProperty(statusBarWindow, "label", {{"T", "@\"UILabel\""}, {"&", ""}, {"N", ""}});
  rt::addMethod<rt::Id>(statusBarWindow, "label", marker::label, object + "@:");
  rt::addMethod<void, rt::Id>(statusBarWindow, "setLabel:", marker::setLabel, "v@:" + object);
  rt::addMethod<void>(statusBarWindow, "loadNotificationIcon", marker::loadNotificationIcon, "v@:");
  rt::hookMessage<void, rt::Id>(statusBarWindow, "setStatusBar:", marker::setStatusBar, &previous.setStatusBar);
  rt::hookMessage<void, rt::Id>(telephonyManager, "callEventHandler:", calls::callEventHandler,
                                &previous.callEventHandler);
  rt::hookMessage<void, rt::Id>(call, "updateWithCall:", calls::updateWithCall, &previous.updateWithCall);
  rt::hookMessage<void, rt::Id, uint64_t>(bulletinServer, "publishBulletin:destinations:",
                                          bulletins::publishBulletin, &previous.publishBulletin);
  rt::hookMessage<void, bool>(homeScreen, "viewDidAppear:", homescreen::viewDidAppear, &previous.viewDidAppear);
  rt::addMethod<void, rt::Id>(homeScreen, "launchApp:", homescreen::launchApp, "v@:@");
}

void loadTimeStep1() {
  bool enabled = false;
  process().snapshot = snapshotFrom(readSettings().ref(), &enabled);
  if (enabled) installHooks();
}

void loadTimeStep2() { process().messagingApps = buildMessagingApps(); }

}  // namespace calmora
