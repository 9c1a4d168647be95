#include <gtest/gtest.h>

#include <vector>

#include "platform/foundation/notification_center.h"
#include "tests/center/wait.h"

using platform::InProcessCenter;
using platform::Notification;

namespace {

TEST(InProcessCenter, DeliversInPostingOrderIncludingWhatHandlersPostMeanwhile) {
  InProcessCenter center;
  std::vector<std::string> order;
  center.addObserver("a", [&](const Notification& n) {
    order.push_back(n.name);
    center.post("c", {{"from", "a"}}, platform::Delivery::Plain);
  });
  center.addObserver("b", [&](const Notification& n) { order.push_back(n.name); });
  center.addObserver("c", [&](const Notification& n) { order.push_back(n.name + ":" + n.userInfo.at("from")); });

  center.post("a", {}, platform::Delivery::Plain);
  center.post("b", {}, platform::Delivery::Immediate);
  EXPECT_EQ(center.deliverPending(), 3u);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c:a"}));
  EXPECT_EQ(center.deliverPending(), 0u);
}

TEST(InProcessCenter, TheEventLoopDeliversWithoutBeingAsked) {
  InProcessCenter center;
  int got = 0;
  center.addObserver("loop", [&](const Notification&) { ++got; });
  center.post("loop", {}, platform::Delivery::Plain);
  center.post("loop", {}, platform::Delivery::Plain);
  EXPECT_EQ(got, 0) << "posting never runs a handler on the spot";
  ASSERT_TRUE(centertest::runUntil([&] { return got == 2; }));
}

TEST(InProcessCenter, ARemovedObserverIsNotCalled) {
  InProcessCenter center;
  int kept = 0, removed = 0;
  center.addObserver("x", [&](const Notification&) { ++kept; });
  const auto token = center.addObserver("x", [&](const Notification&) { ++removed; });
  EXPECT_EQ(center.observerCount(), 2u);
  center.post("x", {}, platform::Delivery::Plain);
  center.removeObserver(token);
  center.deliverPending();
  EXPECT_EQ(kept, 1);
  EXPECT_EQ(removed, 0);
  EXPECT_EQ(center.observerCount(), 1u);
}

}  // namespace
