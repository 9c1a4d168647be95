// The home screen's control verbs (platform/automation/home_screen_verbs.h)
// served by the process's automation server.
#pragma once

#include <QJsonObject>
#include <filesystem>
#include <optional>

#include "platform/automation/server.h"

namespace platform::springboard {

class SpringBoard;

// Registers a handler for each verb of the home screen's table on `server`.
void registerControlVerbs(platform::automation::Server& server, SpringBoard& board);

// Sends one request to a device's home-screen process and waits up to
// `timeoutMs` for the answer; nothing when no answer came.
std::optional<QJsonObject> controlRequest(const std::filesystem::path& root, const QJsonObject& request,
                                          int timeoutMs = 10000);

}  // namespace platform::springboard
