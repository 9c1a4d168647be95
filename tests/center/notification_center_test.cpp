// One contract for every notification center (notification_center.h): the
// typed cases run against each, the D-Bus cases cover what only the bus has.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QThread>
#include <QVariantMap>
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/foundation/dbus_center.h"
#include "tests/support/log_capture.h"
#include "tests/support/wait.h"

using testsupport::LogCapture;
using testsupport::runUntil;
using platform::Notification;
using platform::NotificationCenter;
using platform::UserInfo;

namespace {

template <class Center>
std::shared_ptr<NotificationCenter> makeCenter() {
  if constexpr (std::is_same_v<Center, platform::DBusCenter>)
    return platform::makeDBusCenter("");  // the bus of dbus-run-session
  else
    return std::make_shared<Center>();
}

template <class Center>
class CenterContract : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(center = makeCenter<Center>(), nullptr); }

  // Records every notification whose name is `name` ("" for all).
  void record(const std::string& name) {
    center->addObserver(name, [this](const Notification& n) { seen.push_back(n); });
  }
  size_t countOf(const std::string& name) const {
    size_t c = 0;
    for (const auto& n : seen) c += n.name == name;
    return c;
  }
  // One poster's signals arrive in order, so once a final marker is seen
  // everything posted before it has been delivered or dropped.
  bool drain(const std::string& marker = "drain.done") {
    size_t before = countOf(marker);
    if (before == 0) record(marker);
    center->post(marker);
    return runUntil([&] { return countOf(marker) > before; });
  }

  std::shared_ptr<NotificationCenter> center;
  std::vector<Notification> seen;
};

using Centers = ::testing::Types<platform::InProcessCenter, platform::DBusCenter>;
TYPED_TEST_SUITE(CenterContract, Centers);

TYPED_TEST(CenterContract, APostReachesObserversOfItsNameAndOfEveryNameLaterInPostingOrder) {
  auto& c = *this->center;
  std::vector<std::string> all;
  c.addObserver("", [&](const Notification& n) { all.push_back(n.name); });
  this->record("rt.a");
  this->record("rt.c");
  c.addObserver("rt.a", [&](const Notification&) { c.post("rt.c", {{"from", "a"}}); });
  const UserInfo info{{"k", "v"}, {"empty", ""}, {"text", "Grüße ✓, a=b"}};
  c.post("rt.a", info);
  c.post("rt.b", {{"urgent", "1"}}, platform::Delivery::Immediate);
  EXPECT_TRUE(this->seen.empty()) << "posting never runs a handler on the spot";
  ASSERT_TRUE(runUntil([&] { return this->countOf("rt.c") == 1; }));
  ASSERT_TRUE(this->drain());

  ASSERT_EQ(this->seen.size(), 3u);
  EXPECT_EQ(this->seen[0].userInfo, info);
  EXPECT_EQ(this->seen[1].name, "rt.c");
  EXPECT_EQ(this->seen[1].userInfo, (UserInfo{{"from", "a"}}));
  EXPECT_EQ(all, (std::vector<std::string>{"rt.a", "rt.b", "rt.c", "drain.done"}));
}

// Posts from the main thread and from three others, each source's in order.
TYPED_TEST(CenterContract, HandlersRunOnTheMainThreadOneAtATimeInEachPostersOrder) {
  auto& c = *this->center;
  std::map<std::string, std::vector<int>> bySource;
  int running = 0, overlapped = 0, offMain = 0;
  size_t total = 0;
  c.addObserver("order.n", [&](const Notification& n) {
    overlapped += running++ > 0;
    offMain += QThread::currentThread() != QCoreApplication::instance()->thread();
    bySource[n.userInfo.at("t")].push_back(std::stoi(n.userInfo.at("i")));
    ++total;
    --running;
  });
  auto postAll = [&c](const std::string& source) {
    for (int i = 0; i < 40; ++i) c.post("order.n", {{"t", source}, {"i", std::to_string(i)}});
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

TYPED_TEST(CenterContract, AnEmptyNameIsRefusedWithADiagnosticAndReachesNobody) {
  LogCapture logs;
  this->record("");
  this->center->post("", {{"k", "v"}});
  EXPECT_EQ(logs.lines().size(), 1u);
  ASSERT_TRUE(this->drain());
  EXPECT_EQ(this->countOf(""), 0u);
}

TYPED_TEST(CenterContract, ARemovedObserverNeverRunsAgainEvenForSignalsOnTheirWayOrBeingDelivered) {
  auto& c = *this->center;
  int first = 0, second = 0, late = 0;
  NotificationCenter::Token secondToken = 0;
  const auto firstToken = c.addObserver("remove.x", [&](const Notification&) {
    ++first;
    c.removeObserver(secondToken);  // before the second has run for this signal
  });
  secondToken = c.addObserver("remove.x", [&](const Notification&) { ++second; });
  const auto lateToken = c.addObserver("remove.x", [&](const Notification&) { ++late; });

  c.post("remove.x");
  c.removeObserver(lateToken);  // the signal is on its way, not yet delivered
  c.removeObserver(12345);      // unknown: ignored
  ASSERT_TRUE(this->drain());
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(late, 0);

  c.removeObserver(firstToken);
  c.post("remove.x");
  ASSERT_TRUE(this->drain());
  EXPECT_EQ(first, 1);
}

TYPED_TEST(CenterContract, AThrowingHandlerIsReportedAndTheOthersAndLaterSignalsStillRun) {
  LogCapture logs;
  auto& c = *this->center;
  c.addObserver("throw.x", [](const Notification&) { throw std::runtime_error("observer failed"); });
  c.addObserver("throw.x", [](const Notification&) { throw 7; });
  this->record("throw.x");
  c.post("throw.x");
  c.post("throw.x");
  ASSERT_TRUE(this->drain());
  EXPECT_EQ(this->countOf("throw.x"), 2u);
  EXPECT_EQ(logs.lines().size(), 4u);
}

TYPED_TEST(CenterContract, AHandlerMayDestroyItsCenterAndNothingRunsAfterIt) {
  int first = 0, second = 0;
  this->center->addObserver("destroy.x", [&](const Notification&) {
    ++first;
    this->center.reset();
  });
  this->center->addObserver("destroy.x", [&](const Notification&) { ++second; });
  this->center->post("destroy.x");
  this->center->post("destroy.x");
  ASSERT_TRUE(runUntil([&] { return first > 0; }));

  // A fresh center works once the old one has gone (for D-Bus: on the same
  // connection, after the old receiver).
  ASSERT_NE(this->center = makeCenter<TypeParam>(), nullptr);
  ASSERT_TRUE(this->drain());
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
}

// What only the bus has: other clients, their malformed posts, a bus that is
// not there.

// Sends a Post as another client would; `args` are dbus-send's typed values.
void dbusSend(const QStringList& args) {
  QProcess p;
  p.start("dbus-send", QStringList{"--session", "--type=signal", "/", "sim.DistributedNotificationCenter.Post"} + args);
  ASSERT_TRUE(p.waitForFinished(5000)) << "dbus-send did not finish";
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

using DBusCenterTest = CenterContract<platform::DBusCenter>;

// Variant values (a{sv}) are unwrapped; values without a text form are
// dropped with a diagnostic, and so are malformed posts.
TEST_F(DBusCenterTest, PostsFromOtherClientsArriveWithTheirValuesAsTextAndMalformedOnesAreDropped) {
  LogCapture logs;
  record("");
  dbusSend({"string:ext.strings", "dict:string:string:k,v,k2,v2"});
  dbusSend({"string:ext.numbers", "dict:string:int32:n,-42,m,7"});
  QDBusMessage m = QDBusMessage::createSignal("/", "sim.DistributedNotificationCenter", "Post");
  m << QString("ext.variant")
    << QVariantMap{{"s", "text"}, {"i", 5}, {"b", true}, {"d", 1.5}, {"list", QStringList{"a", "b"}}};
  ASSERT_TRUE(QDBusConnection::sessionBus().send(m));
  dbusSend({"int32:7"});
  dbusSend({"string:", "dict:string:string:k,v"});
  dbusSend({"string:bad.notadict", "string:k"});
  dbusSend({"string:bad.array", "array:string:a,b"});
  dbusSend({"string:ext.bare"});  // the center still listens after them
  // Separate clients' signals need not arrive in the order they were sent.
  EXPECT_TRUE(runUntil([&] { return seen.size() == 4 && logs.lines().size() == 5; }));

  std::map<std::string, UserInfo> got;
  for (const auto& n : seen) got[n.name] = n.userInfo;
  EXPECT_EQ(got, (std::map<std::string, UserInfo>{
                     {"ext.strings", {{"k", "v"}, {"k2", "v2"}}},
                     {"ext.numbers", {{"n", "-42"}, {"m", "7"}}},
                     {"ext.bare", {}},
                     {"ext.variant", {{"s", "text"}, {"i", "5"}, {"b", "1"}, {"d", "1.5"}}}}));
}

TEST(DBusCenter, AnUnreachableBusGivesNoCenterAndADiagnostic) {
  LogCapture logs;
  EXPECT_EQ(platform::makeDBusCenter("unix:path=/nonexistent/calmora-center.sock"), nullptr);
  EXPECT_EQ(logs.lines().size(), 1u);
  EXPECT_EQ(platform::makeDBusCenter("not an address"), nullptr);
  EXPECT_EQ(logs.lines().size(), 2u);
}

}  // namespace
