// LAContext: asks whether the device owner can authenticate by a policy, and
// asks them to, through the system's prompt.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/auth/policy.h"

namespace platform::auth {

class LAContext {
 public:
  // Reads the device description of the process's device root.
  LAContext();

  // Whether `policy` can be evaluated on the device; if not, `error` (which
  // may be null) is set to the reason.
  bool canEvaluatePolicy(LAPolicy policy, NSError* error);

  // Shows the system prompt over the app's front window (it is part of the
  // automation tree) and calls `reply` once, on a thread of the system's own
  // (never the main thread): success with no error, or failure with the
  // error. A policy the device cannot evaluate is answered at once without
  // a prompt. Safe from any thread; a process without a screen gets system
  // cancel (-4).
  void evaluatePolicy(LAPolicy policy, const std::string& localizedReason,
                      std::function<void(bool success, const std::optional<NSError>& error)> reply);

 private:
  Capabilities device_;
};

}  // namespace platform::auth
