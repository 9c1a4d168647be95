#include "platform/springboard/telephony.h"

#include "platform/springboard/class_helpers.h"

namespace host {

void registerTelephony(DeviceRecord& record) {
  rt::Class* provider = makeClass<TUCallProvider>("TUCallProvider");
  getter(provider, "bundleIdentifier", &TUCallProvider::bundleIdentifier);
  getter(provider, "localizedName", &TUCallProvider::localizedName);

  rt::Class* call = makeClass<TUCall>("TUCall");
  getter(call, "isIncoming", &TUCall::isIncoming);
  getter(call, "contactIdentifier", &TUCall::contactIdentifier);
  getter(call, "callStatus", &TUCall::callStatus);
  getter(call, "displayName", &TUCall::displayName);
  getter(call, "displayProvider", &TUCall::displayProvider);
  // The host takes the update's state; that is what "handed on" means for it.
  rt::defineMethod<void, rt::Id>(call, "updateWithCall:", [&record](const rt::Id& self, rt::Id other) {
    auto me = rt::as<TUCall>(self);
    auto update = rt::as<TUCall>(other);
    if (me && update && me != update) {
      me->callStatus = update->callStatus;
      me->displayName = update->displayName;
    }
    record.callHandedOn();
  });

  rt::Class* notification = makeClass<NSNotification>("NSNotification");
  getter(notification, "object", &NSNotification::object);
  getter(notification, "name", &NSNotification::name);
  rt::defineMethod<Text, Text>(notification, "userInfoValueForKey:", [](const rt::Id& self, Text key) -> Text {
    auto n = rt::as<NSNotification>(self);
    if (!n || !key) return std::nullopt;
    auto it = n->userInfo.find(*key);
    return it == n->userInfo.end() ? std::nullopt : Text(it->second);
  });

  rt::defineClassMethod<rt::Id, std::string, std::map<std::string, std::string>>(
      notification, "notificationWithName:userInfo:",
      [](const rt::Id&, std::string name, std::map<std::string, std::string> userInfo) {
        return makeNotification(std::move(name), std::move(userInfo));
      });

  rt::Class* center = rt::registerClass("TUCallCenter");
  static rt::Id sharedCenter = std::make_shared<rt::Object>(center);
  rt::defineClassMethod<rt::Id>(center, "sharedInstance", [](const rt::Id&) { return sharedCenter; });
  rt::defineMethod<void>(center, "disconnectAllCalls", [&record](const rt::Id&) { record.callsEnded(); });

  rt::Class* manager = rt::registerClass("SBTelephonyManager");
  static rt::Id sharedManager = std::make_shared<rt::Object>(manager);
  rt::defineClassMethod<rt::Id>(manager, "sharedTelephonyManager", [](const rt::Id&) { return sharedManager; });
  rt::defineMethod<void, rt::Id>(manager, "callEventHandler:",
                                 [&record](const rt::Id&, rt::Id) { record.callHandedOn(); });
}

rt::Id makeCall(const CallDescription& d) {
  auto provider = std::make_shared<TUCallProvider>(rt::getClass("TUCallProvider"));
  provider->bundleIdentifier = d.providerBundleIdentifier;
  provider->localizedName = d.providerName;
  auto call = std::make_shared<TUCall>(rt::getClass("TUCall"));
  call->isIncoming = d.incoming;
  call->contactIdentifier = d.contactIdentifier;
  call->callStatus = d.status;
  call->displayName = d.displayName;
  call->displayProvider = provider;
  return call;
}

rt::Id makeNotification(std::string name, std::map<std::string, std::string> userInfo) {
  auto n = std::make_shared<NSNotification>(rt::getClass("NSNotification"));
  n->name = std::move(name);
  n->userInfo = std::move(userInfo);
  return n;
}

rt::Id makeCallEventNotification(const rt::Id& call) {
  auto n = std::make_shared<NSNotification>(rt::getClass("NSNotification"));
  n->name = "TUCallCenterCallStatusChangedNotification";
  n->object = call;
  return n;
}

}  // namespace host
