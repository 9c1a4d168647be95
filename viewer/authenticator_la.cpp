#include "viewer/authenticator.h"

#include "platform/auth/la_context.h"

namespace calmora::viewer {

namespace {
namespace auth = platform::auth;

class SystemAuthenticator : public Authenticator {
 public:
  bool canEvaluateOwnerPolicy() override {
    auth::NSError error;
    return context_.canEvaluatePolicy(auth::LAPolicy::DeviceOwnerAuthentication, &error);
  }
  void evaluateOwnerPolicy(const std::string& reason, std::function<void(bool, int)> reply) override {
    context_.evaluatePolicy(auth::LAPolicy::DeviceOwnerAuthentication, reason,
                            [reply = std::move(reply)](bool success, const std::optional<auth::NSError>& error) {
                              reply(success, error ? error->code : 0);
                            });
  }

 private:
  auth::LAContext context_;
};
}  // namespace

std::unique_ptr<Authenticator> makeAuthenticator() { return std::make_unique<SystemAuthenticator>(); }

}  // namespace calmora::viewer
