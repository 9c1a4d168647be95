#include <gtest/gtest.h>

#include "common/names.h"
#include "common/log_store.h"
#include "hook/log_requests.h"
#include "tests/hook/device_support.h"

namespace calmora {
namespace {

using platform::plist::Value;
namespace sig = names::signal;

class Signals : public testing::HookDevice {
 protected:
  void bootEnabled() {
    auto d = Value::dict();
    d.set("isTweakEnabled", Value::boolean(true));
    boot(d);
    takePosted();
  }
  void post(std::string_view name, platform::UserInfo info = {}) {
    center().post(name, info, platform::Delivery::Immediate);
  }
  static logs::CallRecord call(const std::string& from) {
    logs::CallRecord r;
    r.date = logs::currentDateText();
    r.data = "Phone Call from " + from;
    r.appBID = "com.apple.mobilephone";
    r.from = from;
    r.appName = "Phone";
    return r;
  }
  static long count(const std::vector<std::string>& v, std::string_view name) {
    return std::count(v.begin(), v.end(), name);
  }
};

TEST_F(Signals, AppearanceAnswersHideWhenEverythingIsReadAndShowOtherwise) {
  bootEnabled();
  board().appear();
  EXPECT_EQ(takePosted(), std::vector<std::string>{std::string(sig::kHide)});
  logs::appendCall(call("Ann"));
  board().appear();
  EXPECT_EQ(takePosted(), std::vector<std::string>{std::string(sig::kShow)});
}

// Every appearance registers the observers again; each request must still be
// answered once, by the handler of its own name.
TEST_F(Signals, EachRequestIsAnsweredOnceWithBadgesAndMarkerStateHoweverOftenTheScreenAppeared) {
  bootEnabled();
  size_t observers = center().observerCount();
  for (int i = 0; i < 25; ++i) board().appear();
  EXPECT_EQ(center().observerCount(), observers);
  takePosted();

  for (int i = 0; i < 5; ++i) logs::appendCall(call("C" + std::to_string(i)));
  post(sig::kMarkReadC, {{"key", "1"}});
  EXPECT_EQ(takePosted(), (std::vector<std::string>{std::string(sig::kMarkReadC), std::string(sig::kShow)}));
  post(sig::kMarkReadC, {{"key", "3"}});
  post(sig::kUnreadCall);
  post(sig::kUnreadNotif);
  std::map<std::string, std::string> badges;
  size_t answers = 0;
  for (const auto& n : takeNotifications())
    if (n.userInfo.count("badges")) badges[n.name] = n.userInfo.at("badges"), ++answers;
  EXPECT_EQ(answers, 2u);
  EXPECT_EQ(badges[std::string(sig::kUnreadCallCount)], "3");
  EXPECT_EQ(badges[std::string(sig::kUnreadNotifCount)], "0");

  post(sig::kMarkAllReadC);
  EXPECT_EQ(takePosted(), (std::vector<std::string>{std::string(sig::kMarkAllReadC), std::string(sig::kHide)}));
  EXPECT_EQ(logs::unreadCount(logs::Log::Calls), 0);
  post(sig::kOpenInApp, {{"bID", "net.whatsapp.WhatsApp"}});
  takePosted();
  EXPECT_EQ(board().record().snapshot().launched, std::vector<std::string>{"net.whatsapp.WhatsApp"});
}

TEST_F(Signals, SwitchedOffThereIsNoMarkerAndTheRequestsFindNoObserver) {
  boot();
  EXPECT_FALSE(board().marker().has_value());
  logs::appendCall(call("Ann"));
  post(sig::kMarkAllReadC);
  post(sig::kOpenInApp, {{"bID", "com.apple.mobilephone"}});
  auto posted = takePosted();
  EXPECT_EQ(count(posted, sig::kHide) + count(posted, sig::kShow), 0);
  EXPECT_EQ(logs::unreadCount(logs::Log::Calls), 1);
  EXPECT_TRUE(board().record().snapshot().launched.empty());
}

}  // namespace
}  // namespace calmora
