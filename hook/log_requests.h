// The log viewer's requests about the two logs, as the home screen answers
// them: each changes or counts a log and posts the answer. Records that
// wait to be written count as unread; a request on a log version already
// counted is answered without reading the log.
#pragma once

#include <string>

#include "common/log_store.h"
#include "platform/foundation/notification_center.h"

namespace calmora::logs {

// The local time as "HH:mm:ss dd-MM-yyyy", the date of a new record.
std::string currentDateText();

// Writes the record of a blocked event, after those that wait; it waits
// itself when it cannot be written.
void writeRecord(CallRecord record);
void writeRecord(NotificationRecord record);

// Handlers of the signals of the same names.
// Shows the marker while anything is unread and hides it otherwise: after
// every mark request and at every appearance of the home screen.
void reportReadState();

void markAllReadN();
void markAllReadC();
void markReadN(const platform::Notification& request);
void markReadC(const platform::Notification& request);
void unreadCall();
void unreadNotif();

}  // namespace calmora::logs
