#include "platform/auth/la_context.h"

#include <QApplication>

#include "platform/auth/prompt.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/uikit/dispatch.h"

namespace platform::auth {

using platform::uikit::DispatchQueue;

LAContext::LAContext() : device_(capabilitiesOf(readDeviceDescription(deviceRoot()))) {}

bool LAContext::canEvaluatePolicy(LAPolicy policy, NSError* error) {
  auto code = refusal(device_, policy);
  if (code && error) *error = authError(*code);
  return !code;
}

void LAContext::evaluatePolicy(LAPolicy policy, const std::string& localizedReason,
                               std::function<void(bool, const std::optional<NSError>&)> reply) {
  auto answer = [reply = std::move(reply)](std::optional<int> code) {
    DispatchQueue::system().async([reply, code] {
      if (!reply) return;
      if (code) reply(false, authError(*code));
      else reply(true, std::nullopt);
    });
  };
  if (auto code = refusal(device_, policy)) return answer(code);
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    log("auth: no screen in this process to show the prompt on");
    return answer(LAError::SystemCancel);
  }
  DispatchQueue::main().async([request = PromptRequest{policy, QString::fromStdString(localizedReason), device_,
                                                       answer}]() mutable { showPrompt(std::move(request)); });
}

}  // namespace platform::auth
