// The system's authentication prompt, shown over the app in a window of its
// own above every other (so over an app's lock window too). One is open at
// a time: a new one cancels the one before with system cancel (-4).
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "platform/auth/policy.h"

namespace platform::auth {

struct PromptRequest {
  LAPolicy policy;
  QString reason;
  Capabilities device;
  // Called once on the main thread with none (authenticated) or an error code.
  std::function<void(std::optional<int> code)> done;
};

// Main thread only.
void showPrompt(PromptRequest request);

// A prompt gives up after this many failed attempts with -1.
inline constexpr int kAttemptsPerPrompt = 3;

}  // namespace platform::auth
