#include "platform/springboard/telephony.h"

#include "platform/springboard/class_helpers.h"

namespace platform::springboard {

void registerTelephony(DeviceRecord& record) {
  runtime::Class* provider = makeClass<TUCallProvider>("TUCallProvider");
  getter(provider, "bundleIdentifier", &TUCallProvider::bundleIdentifier);
  getter(provider, "localizedName", &TUCallProvider::localizedName);

  runtime::Class* call = makeClass<TUCall>("TUCall");
  getter(call, "isIncoming", &TUCall::isIncoming);
  getter(call, "contactIdentifier", &TUCall::contactIdentifier);
  getter(call, "callStatus", &TUCall::callStatus);
  getter(call, "displayName", &TUCall::displayName);
  getter(call, "displayProvider", &TUCall::displayProvider);
  // The host takes the update's state; that is what "handed on" means for it.
  runtime::defineMethod<void, runtime::Id>(call, "updateWithCall:", [&record](const runtime::Id& self, runtime::Id other) {
    auto me = runtime::as<TUCall>(self);
    auto update = runtime::as<TUCall>(other);
    if (me && update && me != update) {
      me->callStatus = update->callStatus;
      me->displayName = update->displayName;
    }
    record.callHandedOn();
  });

  runtime::Class* notification = makeClass<NSNotification>("NSNotification");
  getter(notification, "object", &NSNotification::object);
  getter(notification, "name", &NSNotification::name);
  runtime::defineMethod<Text, Text>(notification, "userInfoValueForKey:", [](const runtime::Id& self, Text key) -> Text {
    auto n = runtime::as<NSNotification>(self);
    if (!n || !key) return std::nullopt;
    auto it = n->userInfo.find(*key);
    return it == n->userInfo.end() ? std::nullopt : Text(it->second);
  });

  runtime::defineClassMethod<runtime::Id, std::string, std::map<std::string, std::string>>(
      notification, "notificationWithName:userInfo:",
      [](const runtime::Id&, std::string name, std::map<std::string, std::string> userInfo) {
        return makeNotification(std::move(name), std::move(userInfo));
      });

  runtime::Class* center = runtime::registerClass("TUCallCenter");
  static runtime::Id sharedCenter = std::make_shared<runtime::Object>(center);
  runtime::defineClassMethod<runtime::Id>(center, "sharedInstance", [](const runtime::Id&) { return sharedCenter; });
  runtime::defineMethod<void>(center, "disconnectAllCalls", [&record](const runtime::Id&) { record.callsEnded(); });

  runtime::Class* manager = runtime::registerClass("SBTelephonyManager");
  static runtime::Id sharedManager = std::make_shared<runtime::Object>(manager);
  runtime::defineClassMethod<runtime::Id>(manager, "sharedTelephonyManager", [](const runtime::Id&) { return sharedManager; });
  runtime::defineMethod<void, runtime::Id>(manager, "callEventHandler:",
                                 [&record](const runtime::Id&, runtime::Id) { record.callHandedOn(); });
}

runtime::Id makeCall(const CallDescription& d) {
  auto provider = std::make_shared<TUCallProvider>(runtime::getClass("TUCallProvider"));
  provider->bundleIdentifier = d.providerBundleIdentifier;
  provider->localizedName = d.providerName;
  auto call = std::make_shared<TUCall>(runtime::getClass("TUCall"));
  call->isIncoming = d.incoming;
  call->contactIdentifier = d.contactIdentifier;
  call->callStatus = d.status;
  call->displayName = d.displayName;
  call->displayProvider = provider;
  return call;
}

CallDescription identifyCaller(CallDescription call, contacts::NumberBook& book, contacts::ContactStore& store) {
  if (!call.number) return call;
  if (!call.contactIdentifier) {
    if (auto contact = book.contactFor(store, *call.number)) {
      call.contactIdentifier = contact->identifier;
      if (std::string name = contacts::displayName(*contact); !call.displayName && !name.empty()) call.displayName = name;
    }
  }
  if (!call.displayName) call.displayName = call.number;
  return call;
}

runtime::Id makeNotification(std::string name, std::map<std::string, std::string> userInfo) {
  auto n = std::make_shared<NSNotification>(runtime::getClass("NSNotification"));
  n->name = std::move(name);
  n->userInfo = std::move(userInfo);
  return n;
}

runtime::Id makeCallEventNotification(const runtime::Id& call) {
  auto n = std::make_shared<NSNotification>(runtime::getClass("NSNotification"));
  n->name = "TUCallCenterCallStatusChangedNotification";
  n->object = call;
  return n;
}

}  // namespace platform::springboard
