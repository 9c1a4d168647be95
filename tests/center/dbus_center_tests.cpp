#include "platform/foundation/dbus_center.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QThread>
#include <QVariantMap>
#include <thread>
#include <vector>

#include "tests/center/wait.h"

using centertest::LogCapture;
using centertest::runUntil;
using platform::Notification;
using platform::UserInfo;

namespace {

// Sends a Post as another client would; `args` are dbus-send's typed values.
void dbusSend(const QStringList& args) {
  QProcess p;
  p.start("dbus-send", QStringList{"--session", "--type=signal", "/", "sim.DistributedNotificationCenter.Post"} + args);
  ASSERT_TRUE(p.waitForFinished(5000)) << "dbus-send did not finish";
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

class DBusCenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    center = platform::makeDBusCenter("");
    ASSERT_NE(center, nullptr) << "the tests run on a session bus (dbus-run-session)";
  }

  // Records every notification whose name is `name` ("" for all).
  void record(const std::string& name) {
    center->addObserver(name, [this](const Notification& n) { seen.push_back(n); });
  }
  size_t countOf(const std::string& name) const {
    size_t c = 0;
    for (const auto& n : seen) c += n.name == name;
    return c;
  }
  Notification find(const std::string& name) const {
    for (const auto& n : seen)
      if (n.name == name) return n;
    ADD_FAILURE() << name << " was not delivered";
    return {};
  }
  // Signals from one sender arrive in order, so once a final marker is seen
  // everything posted before it has been delivered or dropped.
  bool drain(const std::string& marker) {
    size_t before = countOf(marker);
    if (before == 0) record(marker);
    center->post(marker);
    return runUntil([&] { return countOf(marker) > before; });
  }

  std::shared_ptr<platform::DBusCenter> center;
  std::vector<Notification> seen;
};

TEST_F(DBusCenterTest, APostReachesObserversOfItsNameAndOfEveryNameWithItsUserInfo) {
  std::vector<std::string> all;
  center->addObserver("", [&](const Notification& n) { all.push_back(n.name); });
  record("rt.a");
  record("rt.b");
  const UserInfo info{{"k", "v"}, {"empty", ""}, {"text", "Grüße ✓, a=b"}};
  center->post("rt.a", info);
  center->post("rt.a", {{"urgent", "1"}}, platform::Delivery::Immediate);
  ASSERT_TRUE(drain("rt.done"));

  ASSERT_EQ(countOf("rt.a"), 2u);
  EXPECT_EQ(countOf("rt.b"), 0u);
  EXPECT_EQ(seen[0].userInfo, info);
  EXPECT_EQ(seen[1].userInfo, (UserInfo{{"urgent", "1"}}));
  EXPECT_EQ(all, (std::vector<std::string>{"rt.a", "rt.a", "rt.done"}));
}

// Posts from the main thread and from three others, each source's in order.
TEST_F(DBusCenterTest, HandlersRunOnTheMainThreadOneAtATimeInEachPostersOrder) {
  std::map<std::string, std::vector<int>> bySource;
  int running = 0, overlapped = 0, offMain = 0;
  size_t total = 0;
  center->addObserver("order.n", [&](const Notification& n) {
    overlapped += running++ > 0;
    offMain += QThread::currentThread() != QCoreApplication::instance()->thread();
    bySource[n.userInfo.at("t")].push_back(std::stoi(n.userInfo.at("i")));
    ++total;
    --running;
  });
  auto postAll = [this](const std::string& source) {
    for (int i = 0; i < 40; ++i) center->post("order.n", {{"t", source}, {"i", std::to_string(i)}});
  };
  std::vector<std::thread> posters;
  for (int t = 0; t < 3; ++t) posters.emplace_back(postAll, std::to_string(t));
  postAll("main");
  for (auto& p : posters) p.join();
  ASSERT_TRUE(runUntil([&] { return total == 160; }));

  EXPECT_EQ(overlapped, 0);
  EXPECT_EQ(offMain, 0);
  ASSERT_EQ(bySource.size(), 4u);
  for (const auto& [source, seq] : bySource)
    for (int i = 0; i < 40; ++i) ASSERT_EQ(seq[i], i) << "source " << source;
}

TEST_F(DBusCenterTest, ARemovedObserverNoLongerRunsEvenForSignalsAlreadyOnTheirWay) {
  int first = 0, second = 0, late = 0;
  platform::NotificationCenter::Token secondToken = 0;
  const auto firstToken = center->addObserver("remove.x", [&](const Notification&) {
    ++first;
    center->removeObserver(secondToken);  // before the second has run for this signal
  });
  secondToken = center->addObserver("remove.x", [&](const Notification&) { ++second; });
  const auto lateToken = center->addObserver("remove.x", [&](const Notification&) { ++late; });

  center->post("remove.x");
  center->removeObserver(lateToken);  // the signal is in flight, not yet delivered
  ASSERT_TRUE(drain("remove.done"));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(late, 0);

  center->removeObserver(firstToken);
  center->post("remove.x");
  ASSERT_TRUE(drain("remove.done"));
  EXPECT_EQ(first, 1);
}

TEST_F(DBusCenterTest, AHandlerMayDestroyItsCenterAndNothingRunsAfterIt) {
  int first = 0, second = 0;
  center->addObserver("destroy.x", [&](const Notification&) {
    ++first;
    center.reset();
  });
  center->addObserver("destroy.x", [&](const Notification&) { ++second; });
  center->post("destroy.x");
  center->post("destroy.x");
  ASSERT_TRUE(runUntil([&] { return first > 0; }));

  // A fresh center on the same connection still works once the old one's
  // receiver has gone.
  center = platform::makeDBusCenter("");
  ASSERT_NE(center, nullptr);
  ASSERT_TRUE(drain("destroy.done"));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
}

// Variant values (a{sv}) are unwrapped; values without a text form are
// dropped with a diagnostic.
TEST_F(DBusCenterTest, PostsFromOtherClientsArriveWithTheirValuesAsText) {
  LogCapture logs;
  for (auto name : {"ext.strings", "ext.numbers", "ext.bare", "ext.variant"}) record(name);
  dbusSend({"string:ext.strings", "dict:string:string:k,v,k2,v2"});
  dbusSend({"string:ext.numbers", "dict:string:int32:n,-42,m,7"});
  dbusSend({"string:ext.bare"});
  QDBusMessage m = QDBusMessage::createSignal("/", "sim.DistributedNotificationCenter", "Post");
  m << QString("ext.variant")
    << QVariantMap{{"s", "text"}, {"i", 5}, {"b", true}, {"d", 1.5}, {"list", QStringList{"a", "b"}}};
  ASSERT_TRUE(QDBusConnection::sessionBus().send(m));
  ASSERT_TRUE(runUntil([&] { return seen.size() == 4; }));

  EXPECT_EQ(find("ext.strings").userInfo, (UserInfo{{"k", "v"}, {"k2", "v2"}}));
  EXPECT_EQ(find("ext.numbers").userInfo, (UserInfo{{"n", "-42"}, {"m", "7"}}));
  EXPECT_TRUE(find("ext.bare").userInfo.empty());
  EXPECT_EQ(find("ext.variant").userInfo, (UserInfo{{"s", "text"}, {"i", "5"}, {"b", "1"}, {"d", "1.5"}}));
  EXPECT_TRUE(logs.contains("dropped userInfo entry list"));
}

TEST_F(DBusCenterTest, MalformedPostsAreIgnoredWithADiagnosticAndLaterPostsStillArrive) {
  LogCapture logs;
  std::vector<std::string> names;
  center->addObserver("", [&](const Notification& n) { names.push_back(n.name); });
  dbusSend({"int32:7"});
  dbusSend({"string:bad.notadict", "string:k"});
  dbusSend({"string:bad.array", "array:string:a,b"});
  dbusSend({"string:good.after"});
  // Separate clients' signals need not arrive in the order they were sent.
  EXPECT_TRUE(runUntil([&] {
    return !names.empty() && logs.contains("first argument is not a string") &&
           logs.contains("second argument is not a dictionary (signature \"ss\")") &&
           logs.contains("second argument is not a dictionary (signature \"sas\")");
  }));
  EXPECT_EQ(names, std::vector<std::string>{"good.after"});
  EXPECT_TRUE(logs.contains("ignored a malformed Post"));
}

TEST(DBusCenter, AnUnreachableBusGivesNoCenterAndADiagnostic) {
  LogCapture logs;
  EXPECT_EQ(platform::makeDBusCenter("unix:path=/nonexistent/calmora-center.sock"), nullptr);
  EXPECT_EQ(platform::makeDBusCenter("not an address"), nullptr);
  EXPECT_TRUE(logs.contains("cannot reach the bus unix:path=/nonexistent/calmora-center.sock"));
}

}  // namespace
