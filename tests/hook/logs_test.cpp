// The log requests a home screen serves through its center: marking one
// record or all, the counts as badges, the marker's answer. The store
// beneath them is tests/common's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/log_store.h"
#include "common/names.h"
#include "hook/log_requests.h"
#include "platform/foundation/clock.h"
#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

namespace fs = std::filesystem;
namespace sig = names::signal;
using logs::Log;
using platform::plist::Type;
using Names = std::vector<std::string>;

const std::string kShow(sig::kShow), kHide(sig::kHide);

logs::CallRecord call(const std::string& from) {
  return {logs::currentDateText(), "Phone Call from " + from, "com.apple.mobilephone", "iVBORw0KGgo=", from, "Phone"};
}

platform::plist::Value logOf(Log log) { return platform::plist::readDictionary(logs::logPath(log)).dict; }

// Changes when the file is replaced, as every write of a log does.
ino_t inode(Log log) {
  struct stat st {};
  ::stat(logs::logPath(log).c_str(), &st);
  return st.st_ino;
}

class LogRequests : public HookDevice {
 protected:
  void SetUp() override {
    auto d = platform::plist::Value::dict();
    d.set(names::settings::kIsTweakEnabled, platform::plist::Value::boolean(true));
    boot(d);
    takePosted();
  }
  // The marker's answers to the request.
  Names post(std::string_view name, std::optional<std::string> key = std::nullopt) {
    platform::UserInfo info;
    if (key) info[std::string(sig::kKey)] = *key;
    center().post(name, info, platform::Delivery::Immediate);
    return answers();
  }
  // The marker's answers among the signals posted since the last look.
  Names answers() {
    Names out;
    for (auto& n : takePosted())
      if (n == kShow || n == kHide) out.push_back(n);
    return out;
  }
  // The answers to both count requests, each "name=badges".
  Names badges() {
    center().post(sig::kUnreadCall, {}, platform::Delivery::Immediate);
    center().post(sig::kUnreadNotif, {}, platform::Delivery::Immediate);
    Names out;
    for (const auto& n : takeNotifications())
      if (n.userInfo.count(std::string(sig::kBadges))) out.push_back(n.name + "=" + n.userInfo.at("badges"));
    return out;
  }
};

TEST_F(LogRequests, RecordsHoldEveryFieldInOrderUnreadWithMissingValuesAsEmptyTextAndTheDateIsLocal) {
  EXPECT_EQ(logs::appendCall(logs::CallRecord{}), "0");
  EXPECT_EQ(logs::appendNotification(logs::NotificationRecord{}), "0");
  auto calls = logOf(Log::Calls), notifs = logOf(Log::Notifications);
  auto call = calls["0"], notif = notifs["0"];
  EXPECT_EQ(call.keys(), (Names{"Date", "isRead", "Data", "appBID", "iconData", "From", "appName"}));
  EXPECT_EQ(notif.keys(), (Names{"Date", "isRead", "Data", "appBID", "iconData", "appName", "msg", "From"}));
  for (auto record : {call, notif})
    for (const auto& f : record.keys())
      EXPECT_EQ(record[f].type(), f == "isRead" ? Type::Bool : Type::String) << f;
  EXPECT_FALSE(call["isRead"].truthy());
  EXPECT_EQ(call["appBID"].text(), "");
  platform::clock::setTimeZoneForTesting("America/New_York");
  EXPECT_EQ(logs::currentDateText(), "04:30:00 07-12-2026");
}

TEST_F(LogRequests, MarkingOneRecordChangesOnlyItAndTheMarkerStaysOnWhileAnythingIsUnread) {
  // Missing logs are all read, and a request creates neither.
  EXPECT_EQ(post(sig::kMarkReadC, "0"), Names{kHide});
  EXPECT_EQ(post(sig::kMarkAllReadN), Names{kHide});
  EXPECT_FALSE(fs::exists(logs::logPath(Log::Calls)) || fs::exists(logs::logPath(Log::Notifications)));

  for (int i = 0; i < 5; ++i) ASSERT_TRUE(logs::appendCall(call("c" + std::to_string(i))));
  auto before = logOf(Log::Calls);
  EXPECT_EQ(post(sig::kMarkReadC, "4"), Names{kShow});
  auto after = logOf(Log::Calls);
  EXPECT_TRUE(after["4"]["isRead"].truthy());
  after.remove("4");
  before.remove("4");
  EXPECT_EQ(platform::plist::toXml(after.ref()), platform::plist::toXml(before.ref()));

  // A key naming no unread record writes nothing but is answered.
  auto node = inode(Log::Calls);
  for (std::optional<std::string> key : {std::optional<std::string>("4"), {"9"}, {"01"}, {""}, {"-1"}, {"x"}, {},
                                         {" 1"}, {"+1"}, {"1.0"}, {"\xFF"}, {"18446744073709551617"},
                                         {std::string(200000, '1')}})
    EXPECT_EQ(post(sig::kMarkReadC, key), Names{kShow});
  EXPECT_EQ(inode(Log::Calls), node);

  for (auto key : {"0", "1", "2"}) post(sig::kMarkReadC, key);
  ASSERT_TRUE(logs::appendNotification({}));
  EXPECT_EQ(post(sig::kMarkReadC, "3"), Names{kShow});  // the notification is unread
  EXPECT_EQ(post(sig::kMarkReadN, "0"), Names{kHide});
}

// Every appearance registers the observers again; each request must still be
// answered once, by the handler of its own name.
TEST_F(LogRequests, EachRequestIsAnsweredOnceHoweverOftenTheScreenAppeared) {
  board().appear();
  EXPECT_EQ(answers(), Names{kHide});
  size_t observers = center().observerCount();
  for (int i = 0; i < 25; ++i) board().appear();
  EXPECT_EQ(center().observerCount(), observers);
  takePosted();

  for (int i = 0; i < 4; ++i) ASSERT_TRUE(logs::appendNotification({}));
  post(sig::kMarkReadN, "2");
  ASSERT_TRUE(logs::appendCall(call("c")));
  board().appear();
  EXPECT_EQ(answers(), Names{kShow});
  const std::string calls(sig::kUnreadCallCount), notifs(sig::kUnreadNotifCount);
  EXPECT_EQ(badges(), (Names{calls + "=1", notifs + "=3"}));
  EXPECT_EQ(post(sig::kMarkAllReadN), Names{kShow});  // the call is unread
  EXPECT_EQ(badges(), (Names{calls + "=1", notifs + "=0"}));
  auto node = inode(Log::Notifications);
  post(sig::kMarkAllReadN);
  EXPECT_EQ(inode(Log::Notifications), node);  // all read: not written
  EXPECT_EQ(post(sig::kMarkAllReadC), Names{kHide});
  EXPECT_EQ(logs::unreadCount(Log::Calls), 0);

  center().post(sig::kOpenInApp, {{"bID", "net.whatsapp.WhatsApp"}}, platform::Delivery::Immediate);
  takePosted();
  EXPECT_EQ(board().record().snapshot().launched, Names{"net.whatsapp.WhatsApp"});
}

TEST_F(LogRequests, OpenRequestsAndMarkerMovesWithOddPayloadsKeepTheHomeScreenWhole) {
  center().post(sig::kOpenInApp, {}, platform::Delivery::Immediate);
  center().post(sig::kOpenInApp, {{"bID", ""}}, platform::Delivery::Immediate);
  center().post(sig::kOpenInApp, {{"bID", std::string(100000, 'b')}}, platform::Delivery::Immediate);
  center().post(sig::kShowIcon, {{"x", "y"}}, platform::Delivery::Immediate);
  EXPECT_EQ(answers(), Names{kShow});
  // Without an identifier the platform is asked with an empty one.
  EXPECT_EQ(board().record().snapshot().launched, (Names{"", "", std::string(100000, 'b')}));
  EXPECT_EQ(board().marker()->frame.x, 375.0 * 95 / 100);
}

TEST_F(HookDevice, SwitchedOffThereIsNoMarkerAndTheRequestsFindNoObserver) {
  boot();
  EXPECT_FALSE(board().marker().has_value());
  ASSERT_TRUE(logs::appendCall(call("Ann")));
  center().post(sig::kMarkAllReadC, {}, platform::Delivery::Immediate);
  center().post(sig::kOpenInApp, {{"bID", "com.apple.mobilephone"}}, platform::Delivery::Immediate);
  EXPECT_EQ(takePosted(), (Names{std::string(sig::kMarkAllReadC), std::string(sig::kOpenInApp)}));
  EXPECT_EQ(logs::unreadCount(Log::Calls), 1);
  EXPECT_TRUE(board().record().snapshot().launched.empty());
}

}  // namespace
}  // namespace calmora::testing
