#include "app/authenticator.h"

namespace calmora::viewer {

namespace {
// FIXME: builds without platform/auth have no system prompt; the lock then
// stays covered, as it does when a device can evaluate no policy.
class NoAuthenticator : public Authenticator {
 public:
  bool canEvaluateOwnerPolicy() override { return false; }
  void evaluateOwnerPolicy(const std::string&, std::function<void(bool, int)>) override {}
};
}  // namespace

std::unique_ptr<Authenticator> makeAuthenticator() { return std::make_unique<NoAuthenticator>(); }

}  // namespace calmora::viewer
