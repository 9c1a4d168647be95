// Calls, their providers, the call centre and the telephony manager.
#pragma once

#include <map>

#include "platform/runtime/runtime.h"
#include "platform/springboard/device_record.h"
#include "platform/foundation/host_values.h"

namespace host {

class TUCallProvider : public rt::Object {
 public:
  using rt::Object::Object;
  Text bundleIdentifier;
  Text localizedName;
};

class TUCall : public rt::Object {
 public:
  using rt::Object::Object;
  bool isIncoming = true;
  Text contactIdentifier;
  int64_t callStatus = 4;
  Text displayName;
  rt::Id displayProvider;
};

// NSNotification: a name, an object and a user-information dictionary.
class NSNotification : public rt::Object {
 public:
  using rt::Object::Object;
  std::string name;
  rt::Id object;
  std::map<std::string, std::string> userInfo;
};

// A notification object for a received distributed notification.
rt::Id makeNotification(std::string name, std::map<std::string, std::string> userInfo);

struct CallDescription {
  Text displayName;
  Text contactIdentifier;
  Text providerName = std::string("Telephony");
  Text providerBundleIdentifier = std::string("com.apple.mobilephone");
  int64_t status = 4;
  bool incoming = true;
};

// Registers TUCall, TUCallProvider, TUCallCenter, SBTelephonyManager and
// NSNotification. The host's own implementations record into `record`.
void registerTelephony(DeviceRecord& record);

rt::Id makeCall(const CallDescription& d);
rt::Id makeCallEventNotification(const rt::Id& call);

}  // namespace host
