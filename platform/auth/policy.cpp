#include "platform/auth/policy.h"

#include "platform/foundation/log.h"

namespace platform::auth {

namespace {
const char* describe(int code) {
  switch (code) {
    case LAError::AuthenticationFailed: return "Application retry limit exceeded.";
    case LAError::UserCancel: return "Canceled by user.";
    case LAError::UserFallback: return "Fallback authentication mechanism selected.";
    case LAError::SystemCancel: return "Canceled by system.";
    case LAError::PasscodeNotSet: return "Passcode not set.";
    case LAError::BiometryNotAvailable: return "Biometry is not available on this device.";
    case LAError::BiometryNotEnrolled: return "No identities are enrolled.";
    case LAError::BiometryLockout: return "Biometry is locked out.";
    case LAError::AppCancel: return "Canceled by application.";
    default: return "Unknown error.";
  }
}
}  // namespace

bool isAuthErrorCode(int code) { return code <= LAError::AuthenticationFailed && code >= LAError::AppCancel; }

NSError authError(int code) { return NSError{code, kErrorDomain, describe(code)}; }

Capabilities capabilitiesOf(const DeviceDescription& device) {
  Capabilities c;
  const std::string& kind = device.biometry;
  if (kind == "touch" || kind == "touchID") c.biometryName = "Touch ID";
  if (kind == "face" || kind == "faceID") c.biometryName = "Face ID";
  c.biometry = !c.biometryName.empty();
  if (!c.biometry && kind != "none" && !kind.empty())
    log("auth: unknown biometry '", kind, "' in the device description; none is assumed");
  c.enrolled = c.biometry && device.biometryEnrolled;
  c.passcode = device.passcodeSet;
  return c;
}

std::optional<int> refusal(const Capabilities& device, LAPolicy policy) {
  switch (policy) {
    case LAPolicy::DeviceOwnerAuthenticationWithBiometrics:
      if (!device.biometry) return LAError::BiometryNotAvailable;
      if (!device.enrolled) return LAError::BiometryNotEnrolled;
      return std::nullopt;
    case LAPolicy::DeviceOwnerAuthentication:
      if (device.enrolled || device.passcode) return std::nullopt;
      return LAError::PasscodeNotSet;
  }
  log("auth: unknown policy ", static_cast<int>(policy));
  return LAError::AuthenticationFailed;
}

std::optional<int> passwordOutcome(LAPolicy policy) {
  if (policy == LAPolicy::DeviceOwnerAuthentication) return std::nullopt;
  return LAError::UserFallback;
}

}  // namespace platform::auth
