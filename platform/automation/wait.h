// The wait verb's answer, given later: the process goes on serving while a
// wait looks, and waits on several connections end each at its own time.
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>

#include "platform/automation/server.h"

namespace platform::automation {

// Answers the wait `request` ("text", "timeout" seconds): {"found": true}
// as soon as `showing(text)` holds, {"found": false} once the time is up.
// The timeout is kept within 0 to ui::kMaxWaitSeconds; one that is no
// finite number is refused. `showing` is asked again every few milliseconds
// from a timer, until the client leaves.
void answerWait(const QJsonObject& request, std::function<bool(const QString& text)> showing, Responder answer);

}  // namespace platform::automation
