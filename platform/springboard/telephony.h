// Calls, their providers, the call centre and the telephony manager.
#pragma once

#include <map>

#include "platform/contacts/contact_store.h"
#include "platform/contacts/phone_numbers.h"
#include "platform/runtime/runtime.h"
#include "platform/springboard/device_record.h"
#include "platform/foundation/host_values.h"

namespace platform::springboard {

class TUCallProvider : public runtime::Object {
 public:
  using runtime::Object::Object;
  Text bundleIdentifier;
  Text localizedName;
};

class TUCall : public runtime::Object {
 public:
  using runtime::Object::Object;
  bool isIncoming = true;
  Text contactIdentifier;
  int64_t callStatus = 4;
  Text displayName;
  runtime::Id displayProvider;
};

// NSNotification: a name, an object and a user-information dictionary.
class NSNotification : public runtime::Object {
 public:
  using runtime::Object::Object;
  std::string name;
  runtime::Id object;
  std::map<std::string, std::string> userInfo;
};

// A notification object for a received distributed notification.
runtime::Id makeNotification(std::string name, std::map<std::string, std::string> userInfo);

struct CallDescription {
  Text displayName;
  Text contactIdentifier;
  Text number;  // what the network says: matched to a contact by identifyCaller
  Text providerName = std::string("Telephony");
  Text providerBundleIdentifier = std::string("com.apple.mobilephone");
  int64_t status = 4;
  bool incoming = true;
};

// Registers TUCall, TUCallProvider, TUCallCenter, SBTelephonyManager and
// NSNotification. The host's own implementations record into `record`.
void registerTelephony(DeviceRecord& record);

runtime::Id makeCall(const CallDescription& d);

// What the telephony does with a call's number before anyone sees the call:
// the contact holding it gives its identifier and name, where the call
// does not name them already; an unknown number shows as itself.
CallDescription identifyCaller(CallDescription call, contacts::NumberBook& book, contacts::ContactStore& store);
runtime::Id makeCallEventNotification(const runtime::Id& call);

}  // namespace platform::springboard
