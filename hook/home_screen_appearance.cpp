#include "hook/home_screen_appearance.h"

#include "common/names.h"
#include "hook/host.h"
#include "common/log_store.h"
#include "hook/log_requests.h"
#include "hook/process_state.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"

namespace calmora::homescreen {

namespace {
namespace sig = names::signal;

void registerObservers(const runtime::Id& controller) {
  auto& center = platform::defaultCenter();
  // The controller observes the open-app request through its added method.
  center.addObserver(sig::kOpenInApp, [controller](const platform::Notification& n) {
    hostapi::launchApp(controller, hostapi::notificationFor(n.name, n.userInfo));
  });
  center.addObserver(sig::kMarkAllReadN, [](const platform::Notification&) { logs::markAllReadN(); });
  center.addObserver(sig::kMarkAllReadC, [](const platform::Notification&) { logs::markAllReadC(); });
  center.addObserver(sig::kMarkReadN, [](const platform::Notification& n) { logs::markReadN(n); });
  center.addObserver(sig::kMarkReadC, [](const platform::Notification& n) { logs::markReadC(n); });
  center.addObserver(sig::kUnreadCall, [](const platform::Notification&) { logs::unreadCall(); });
  center.addObserver(sig::kUnreadNotif, [](const platform::Notification&) { logs::unreadNotif(); });
}
}  // namespace

void viewDidAppear(const runtime::Id& self, bool animated) {
  hostBindings().previous.viewDidAppear(self, animated);
  MarkerState& marker = markerState();
  if (!marker.homeScreenObserved) {
    marker.homeScreenObserved = true;
    registerObservers(self);
  }
  logs::reportReadState();
}

void launchApp(const runtime::Id&, runtime::Id notification) {
  hostapi::launchApplication(hostapi::userInfoValue(notification, std::string(sig::kBundleID)), false);
}

}  // namespace calmora::homescreen
