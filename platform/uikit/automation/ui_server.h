// The user-interface verbs (platform/automation/ui_verbs.h) served on the
// windows of this process.
#pragma once

#include <QJsonObject>
#include <functional>

#include "platform/automation/server.h"

namespace platform::uikit {

// What a process adds to the verbs: `before` runs ahead of each verb that
// reads or acts on the front window (the home screen lays out newly
// installed apps' icons), `tapped` may add to the answer of a tap that was
// delivered (the home screen adds the app it opened).
struct UIVerbHooks {
  std::function<void()> before;
  std::function<void(QJsonObject& answer)> tapped;
  // Around a screenshot: true before the windows are drawn, false after.
  std::function<void(bool taking)> screenshot;
};

void registerUIVerbs(platform::automation::Server& server, UIVerbHooks hooks = {});

}  // namespace platform::uikit
