// The policies an app may ask the device owner to satisfy, the error codes
// of the authenticator, and which policy a device can evaluate: logic of
// its own, without a screen.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/device_description.h"

namespace platform::auth {

enum class LAPolicy { DeviceOwnerAuthenticationWithBiometrics = 1, DeviceOwnerAuthentication = 2 };

namespace LAError {
inline constexpr int AuthenticationFailed = -1, UserCancel = -2, UserFallback = -3, SystemCancel = -4,
                     PasscodeNotSet = -5, BiometryNotAvailable = -6, BiometryNotEnrolled = -7, BiometryLockout = -8,
                     AppCancel = -9;
}

inline constexpr const char* kErrorDomain = "com.apple.LocalAuthentication";

struct NSError {
  int code = 0;
  std::string domain;
  std::string localizedDescription;
};

// The error of a code of the authenticator (-1 to -9), in its domain.
NSError authError(int code);
bool isAuthErrorCode(int code);

// What the device offers: biometry ("touch" or "face"; "touchID" and
// "faceID" are read alike), enrolled or not, and a passcode.
struct Capabilities {
  bool biometry = false;
  bool enrolled = false;
  bool passcode = false;
  std::string biometryName;  // "Touch ID", "Face ID", or empty
};
Capabilities capabilitiesOf(const DeviceDescription& device);

// The code that keeps `policy` from being evaluated, or none. Biometrics
// need biometry that is enrolled (else -6 or -7); the device owner policy
// takes enrolled biometry or a passcode (else -5).
std::optional<int> refusal(const Capabilities& device, LAPolicy policy);

// The code a prompt's "Enter Password" gives: none (success) for the device
// owner policy, which the passcode satisfies; user fallback for biometrics.
std::optional<int> passwordOutcome(LAPolicy policy);

}  // namespace platform::auth
