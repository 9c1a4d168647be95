// The user-interface verbs (platform/automation/ui_verbs.h) served on the
// windows of this process.
#pragma once

#include "platform/automation/server.h"

namespace platform::uikit {

void registerUIVerbs(platform::automation::Server& server);

}  // namespace platform::uikit
