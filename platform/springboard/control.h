// The home screen's control verbs (platform/automation/home_screen_verbs.h)
// served by the process's automation server.
#pragma once

#include <QJsonObject>
#include <filesystem>
#include <optional>

#include "platform/automation/server.h"

namespace platform::springboard {

class SpringBoard;

struct AppProcess;

// Registers a handler for each verb of the home screen's table on `server`:
// its own, and the user-interface verbs over its window as every app serves
// them, a tap adding what it opened.
void registerControlVerbs(platform::automation::Server& server, SpringBoard& board);

// {"bundle", "pid", "state", "status" | "signal"}
QJsonObject appJson(const AppProcess& p);


}  // namespace platform::springboard
