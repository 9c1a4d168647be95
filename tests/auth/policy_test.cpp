// Which policies a device can evaluate, from its description alone.
#include <gtest/gtest.h>

#include "platform/auth/la_context.h"
#include "platform/foundation/device_paths.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace platform::auth;

struct Case {
  const char* device;
  const char* biometry;
  bool enrolled, passcode;
  int biometrics, owner;  // the code each policy is refused with; 0: evaluable
};

TEST(LAContext, AnswersBothPoliciesFromTheDeviceDescription) {
  testsupport::TempDir dir("auth-policy");
  platform::setDeviceRoot(dir.path());
  const Case cases[] = {
      {"no biometry", "none", false, false, LAError::BiometryNotAvailable, LAError::PasscodeNotSet},
      {"touch enrolled", "touch", true, false, 0, 0},
      {"touch under its long name", "touchID", true, false, 0, 0},
      {"face not enrolled", "face", false, false, LAError::BiometryNotEnrolled, LAError::PasscodeNotSet},
      {"passcode only", "none", false, true, LAError::BiometryNotAvailable, 0},
      {"face not enrolled with a passcode", "faceID", false, true, LAError::BiometryNotEnrolled, 0},
      {"enrolled flag without biometry", "none", true, false, LAError::BiometryNotAvailable, LAError::PasscodeNotSet},
  };
  for (const Case& c : cases) {
    platform::DeviceDescription d;
    d.biometry = c.biometry;
    d.biometryEnrolled = c.enrolled;
    d.passcodeSet = c.passcode;
    ASSERT_TRUE(platform::writeDeviceDescription(dir.path(), d));
    LAContext context;
    for (auto [policy, expected] : {std::pair{LAPolicy::DeviceOwnerAuthenticationWithBiometrics, c.biometrics},
                                    std::pair{LAPolicy::DeviceOwnerAuthentication, c.owner}}) {
      NSError error;
      EXPECT_EQ(context.canEvaluatePolicy(policy, &error), expected == 0) << c.device << " policy " << int(policy);
      EXPECT_EQ(error.code, expected) << c.device << " policy " << int(policy);
      EXPECT_EQ(context.canEvaluatePolicy(policy, nullptr), expected == 0) << "without an error to fill";
    }
  }
  platform::setDeviceRoot({});
}

}  // namespace
