// The app lock: when "isTouch" is on, a black window covers the app until
// the device owner authenticates. Asked once per launch.
#pragma once

#include <functional>
#include <memory>

#include "viewer/authenticator.h"
#include "platform/uikit/window.h"

namespace calmora::viewer {

// The reply codes after which the app ends with status 0: cancelled, the
// fallback chosen, biometry not available or not enrolled.
bool lockReplyEndsApp(int code);

// Answers the lock window's cell, which the caller keeps for the life of the
// process: a lock that no reply lifts stays on screen. Null with no lock.
using LockWindowCell = std::shared_ptr<std::shared_ptr<platform::uikit::UIWindow>>;
LockWindowCell startAppLock(std::function<std::unique_ptr<Authenticator>()> make = makeAuthenticator);

}  // namespace calmora::viewer
