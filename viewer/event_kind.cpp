#include "viewer/event_kind.h"

#include "common/names.h"

namespace calmora::viewer {

namespace sig = names::signal;

const EventKind& callsKind() {
  static constexpr EventKind kind{names::kBlockedCallsPath,
                                  "Calls",
                                  "/Library/PreferenceBundles/CalmoPrefs.bundle/calls.png",
                                  sig::kUnreadCall,
                                  sig::kUnreadCallCount,
                                  "Calmora - Calls",
                                  sig::kMarkAllReadC,
                                  sig::kMarkReadC,
                                  "CalmoDebug viewDidLoad refreshTable CALLS",
                                  false,
                                  "No blocked calls"};
  return kind;
}

const EventKind& notificationsKind() {
  static constexpr EventKind kind{names::kBlockedNotifPath,
                                  "Notifications",
                                  "/Library/PreferenceBundles/CalmoPrefs.bundle/notifications.png",
                                  sig::kUnreadNotif,
                                  sig::kUnreadNotifCount,
                                  "Calmora - Notifications",
                                  sig::kMarkAllReadN,
                                  sig::kMarkReadN,
                                  "CalmoDebug viewDidLoad refreshTable NOTIF",
                                  true,
                                  "No blocked notifications"};
  return kind;
}

}  // namespace calmora::viewer
