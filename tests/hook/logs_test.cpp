#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/log_store.h"
#include "common/names.h"
#include "hook/log_requests.h"
#include "platform/foundation/clock.h"
#include "tests/hook/device_support.h"
#include "tests/hook/interception_support.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
namespace sig = names::signal;
using logs::Log;
using platform::plist::Ref;
using platform::plist::Type;
using Names = std::vector<std::string>;

const std::string kShow(sig::kShow), kHide(sig::kHide);

logs::CallRecord call(const std::string& from) {
  return {logs::currentDateText(), "Phone Call from " + from, "com.apple.mobilephone",
          "iVBORw0KGgoAAAANSUhEUgAAAHgAAAB4CAYAAAA5ZDbS", from, "Phone"};
}

logs::NotificationRecord notification(const std::string& from) {
  return {logs::currentDateText(), "WhatsApp notification from " + from, "net.whatsapp.WhatsApp", "iVBORw0KGgo=",
          "WhatsApp", "see you", from};
}

void appendCalls(int n) {
  for (int i = 0; i < n; ++i) logs::appendCall(call("c" + std::to_string(i)));
}

platform::plist::ReadResult readLog(Log log) { return platform::plist::readDictionary(logs::logPath(log)); }

// Changes when the file is replaced, as every write of a log does.
ino_t inode(Log log) {
  struct stat st {};
  ::stat(logs::logPath(log).c_str(), &st);
  return st.st_ino;
}

platform::Notification markRequest(Log log, std::optional<std::string> key) {
  platform::Notification n{std::string(log == Log::Calls ? sig::kMarkReadC : sig::kMarkReadN), {}};
  if (key) n.userInfo[std::string(sig::kKey)] = *key;
  return n;
}

void expectRecordShape(Ref record, const Names& fields) {
  ASSERT_TRUE(record.isDict());
  EXPECT_EQ(record.keys(), fields);
  for (const auto& f : fields) EXPECT_EQ(record[f].type(), f == "isRead" ? Type::Bool : Type::String) << f;
}

using Logs = testing::HookDevice;

TEST_F(Logs, RecordsHoldEveryFieldUnreadAndValuesThatCannotBeProducedAsEmptyText) {
  EXPECT_EQ(logs::appendCall(call("Alice")), "0");
  EXPECT_EQ(logs::appendCall(logs::CallRecord{}), "1");
  EXPECT_EQ(logs::appendNotification(logs::NotificationRecord{}), "0");
  auto calls = readLog(Log::Calls);
  EXPECT_EQ(calls.dict.ref().keys(), (Names{"0", "1"}));
  expectRecordShape(calls.dict["1"], {"Date", "isRead", "Data", "appBID", "iconData", "From", "appName"});
  expectRecordShape(readLog(Log::Notifications).dict["0"],
                    {"Date", "isRead", "Data", "appBID", "iconData", "appName", "msg", "From"});
  EXPECT_FALSE(calls.dict["0"]["isRead"].truthy());
  EXPECT_EQ(calls.dict["0"]["Date"].text(), "10:30:00 07-12-2026");
  EXPECT_EQ(calls.dict["0"]["Data"].text(), "Phone Call from Alice");
  EXPECT_EQ(calls.dict["1"]["appBID"].text(), "");
  // The date is local time in the device's zone.
  platform::clock::setTimeZoneForTesting("America/New_York");
  EXPECT_EQ(logs::currentDateText(), "04:30:00 07-12-2026");
}

TEST_F(Logs, MarkingOneRecordChangesOnlyItAndShowsTheMarkerWhileAnythingIsUnread) {
  appendCalls(5);
  auto before = readLog(Log::Calls);
  takePosted();
  logs::markReadC(markRequest(Log::Calls, "4"));
  EXPECT_EQ(takePosted(), Names{kShow});
  auto after = readLog(Log::Calls);
  EXPECT_TRUE(after.dict["4"]["isRead"].truthy());
  after.dict.remove("4");
  before.dict.remove("4");
  EXPECT_EQ(platform::plist::toXml(after.dict.ref()), platform::plist::toXml(before.dict.ref()));

  // A key naming no unread record writes nothing but reports the state.
  auto node = inode(Log::Calls);
  for (std::optional<std::string> key : {std::optional<std::string>("4"), {"9"}, {"01"}, {""}, {"-1"}, {"x"}, {},
                                         {" 1"}, {"+1"}, {"1.0"}, {"\xFF"}, {"18446744073709551617"},
                                         {std::string(200000, '1')}}) {
    logs::markReadC(markRequest(Log::Calls, key));
    EXPECT_EQ(takePosted(), Names{kShow});
  }
  EXPECT_EQ(inode(Log::Calls), node);

  for (auto key : {"0", "1", "2"}) logs::markReadC(markRequest(Log::Calls, key));
  takePosted();
  // An unread notification keeps the marker on.
  logs::appendNotification(notification("n"));
  logs::markReadC(markRequest(Log::Calls, "3"));
  EXPECT_EQ(takePosted(), Names{kShow});
  logs::markReadN(markRequest(Log::Notifications, "0"));
  EXPECT_EQ(takePosted(), Names{kHide});
}

TEST_F(Logs, MissingLogsAreAllReadAndMarkRequestsHideTheMarkerWithoutCreatingFiles) {
  logs::markReadC(markRequest(Log::Calls, "0"));
  logs::markAllReadN();
  EXPECT_EQ(takePosted(), Names(2, kHide));
  EXPECT_FALSE(fs::exists(logs::logPath(Log::Calls)));
  EXPECT_FALSE(fs::exists(logs::logPath(Log::Notifications)));
}

TEST_F(Logs, MarkAllMarksEveryUnreadRecordLeavesAnAllReadLogUnwrittenAndCountsAreBadges) {
  for (int i = 0; i < 4; ++i) logs::appendNotification(notification("n" + std::to_string(i)));
  logs::markReadN(markRequest(Log::Notifications, "2"));
  appendCalls(1);
  takePosted();
  auto badges = [&] {
    logs::unreadCall();
    logs::unreadNotif();
    Names out;
    for (const auto& n : takeNotifications()) out.push_back(n.name + "=" + n.userInfo.at("badges"));
    return out;
  };
  const std::string calls(sig::kUnreadCallCount), notifs(sig::kUnreadNotifCount);
  EXPECT_EQ(badges(), (Names{calls + "=1", notifs + "=3"}));
  logs::markAllReadN();
  EXPECT_EQ(takePosted(), Names{kShow});  // the call is unread
  EXPECT_EQ(badges(), (Names{calls + "=1", notifs + "=0"}));

  auto node = inode(Log::Notifications);
  logs::markAllReadN();
  EXPECT_EQ(inode(Log::Notifications), node);
  logs::markAllReadC();
  EXPECT_EQ(takePosted(), (Names{kShow, kHide}));
}

}  // namespace
}  // namespace calmora
