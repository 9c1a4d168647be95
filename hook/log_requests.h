// The log viewer's requests about the two logs, as the home screen answers
// them: each changes or counts a log and posts the answer.
#pragma once

#include <string>

#include "platform/foundation/notification_center.h"

namespace calmora::logs {

// The local time as "HH:mm:ss dd-MM-yyyy", the date of a new record.
std::string currentDateText();

// Handlers of the signals of the same names.
void markAllReadN();
void markAllReadC();
void markReadN(const platform::Notification& request);
void markReadC(const platform::Notification& request);
void unreadCall();
void unreadNotif();

}  // namespace calmora::logs
