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
  template <class T>
  static long count(const std::vector<T>& v, std::string_view name) {
    return std::count_if(v.begin(), v.end(), [&](const auto& n) { return std::string_view(n) == name; });
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

TEST_F(Signals, ManyAppearancesStillAnswerEachRequestOnce) {
  bootEnabled();
  size_t observers = center().observerCount();
  for (int i = 0; i < 25; ++i) board().appear();
  EXPECT_EQ(center().observerCount(), observers);
  takePosted();

  logs::appendCall(call("Ann"));
  logs::appendCall(call("Bob"));
  post(sig::kMarkReadC, {{"key", "0"}});
  auto answers = takePosted();
  EXPECT_EQ(count(answers, sig::kShow), 1);  // "1" is still unread
  EXPECT_EQ(count(answers, sig::kHide), 0);

  post(sig::kMarkReadC, {{"key", "1"}});
  post(sig::kUnreadCall);
  auto notes = takeNotifications();
  std::vector<std::string> names;
  for (const auto& n : notes) names.push_back(n.name);
  EXPECT_EQ(count(names, sig::kHide), 1);
  ASSERT_EQ(count(names, sig::kUnreadCallCount), 1);
  for (const auto& n : notes) {
    if (n.name == sig::kUnreadCallCount) {
      EXPECT_EQ(n.userInfo.at("badges"), "0");
    }
  }

  post(sig::kOpenInApp, {{"bID", "net.whatsapp.WhatsApp"}});
  takePosted();
  EXPECT_EQ(board().record().snapshot().launched, std::vector<std::string>{"net.whatsapp.WhatsApp"});
}

TEST_F(Signals, OpenInAppWithoutAnIdentifierAsksThePlatformUnchanged) {
  bootEnabled();
  post(sig::kOpenInApp);
  post(sig::kOpenInApp, {{"bID", ""}});
  takePosted();
  EXPECT_EQ(board().record().snapshot().launched, (std::vector<std::string>{"", ""}));
}

TEST_F(Signals, UnreadCountsAnswerWithBadgesAndMarkAllReadAnswersForBothLogs) {
  bootEnabled();
  for (int i = 0; i < 5; ++i) logs::appendCall(call("C" + std::to_string(i)));
  post(sig::kMarkReadC, {{"key", "1"}});
  post(sig::kMarkReadC, {{"key", "3"}});
  post(sig::kUnreadCall);
  post(sig::kUnreadNotif);
  std::map<std::string, std::string> badges;
  for (const auto& n : takeNotifications())
    if (n.userInfo.count("badges")) badges[n.name] = n.userInfo.at("badges");
  EXPECT_EQ(badges[std::string(sig::kUnreadCallCount)], "3");
  EXPECT_EQ(badges[std::string(sig::kUnreadNotifCount)], "0");

  post(sig::kMarkAllReadC);
  auto answers = takePosted();
  EXPECT_EQ(count(answers, sig::kHide), 1);
  EXPECT_EQ(count(answers, sig::kShow), 0);
  EXPECT_EQ(logs::unreadCount(logs::Log::Calls), 0);
}

TEST_F(Signals, SwitchedOffTheRequestsFindNoObserver) {
  boot();
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
