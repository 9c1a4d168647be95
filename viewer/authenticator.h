// The device owner's authentication as the app lock asks for it: the
// system authenticator in the app, a stand-in in tests.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace calmora::viewer {

class Authenticator {
 public:
  virtual ~Authenticator() = default;
  // Biometrics falling back to the passcode.
  virtual bool canEvaluateOwnerPolicy() = 0;
  // `reply` runs once, on a thread of the system's own; code 0 on success.
  virtual void evaluateOwnerPolicy(const std::string& reason, std::function<void(bool success, int code)> reply) = 0;
};

std::unique_ptr<Authenticator> makeAuthenticator();

}  // namespace calmora::viewer
