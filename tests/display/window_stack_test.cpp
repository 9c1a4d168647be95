// The display's window stack: what is in front after windows come, are
// brought to front and end.
#include "platform/display/window_stack.h"

#include <gtest/gtest.h>

namespace {

struct W {
  int id;
  int64_t pid;
  bool overlay = false;
};
using Stack = platform::display::WindowStack<W>;
constexpr int64_t kHome = 100;

int frontId(const Stack& s) { return s.front() ? s.front()->id : 0; }

TEST(WindowStack, ANewWindowComesToFrontAndRaiseBringsOneBack) {
  Stack s;
  EXPECT_EQ(s.front(), nullptr);
  W* home = s.push(std::make_unique<W>(W{1, kHome}));
  W* app = s.push(std::make_unique<W>(W{2, 7}));
  EXPECT_EQ(frontId(s), 2);
  EXPECT_TRUE(s.raise(home));
  EXPECT_EQ(frontId(s), 1);
  EXPECT_EQ(s.all().front().get(), app) << "the one raised leaves the rest in their order";
  W stranger{9, 9};
  EXPECT_FALSE(s.raise(&stranger));
  EXPECT_EQ(s.latestOf(0), nullptr) << "no window is of an unknown process";
}

TEST(WindowStack, AFrontWindowThatEndsLeavesTheFrontToItsProcessElseTheHomeScreen) {
  Stack s;
  s.push(std::make_unique<W>(W{1, kHome}));
  W* first = s.push(std::make_unique<W>(W{2, 7}));
  W* other = s.push(std::make_unique<W>(W{3, 8}));
  W* second = s.push(std::make_unique<W>(W{4, 7}));
  s.raise(other);
  s.raise(second);  // 7's two windows, 8's between them
  EXPECT_TRUE(s.remove(second, kHome));
  EXPECT_EQ(frontId(s), 2) << "its process's other window, not the app below";
  EXPECT_TRUE(s.remove(first, kHome));
  EXPECT_EQ(frontId(s), 1) << "then the home screen, not the app below";
  EXPECT_FALSE(s.remove(other, kHome)) << "a window behind ends without the front changing";
  EXPECT_EQ(frontId(s), 1);
}

TEST(WindowStack, WithoutAHomeScreenTheWindowBelowStaysWhereItIs) {
  Stack s;
  s.push(std::make_unique<W>(W{1, 5}));
  W* top = s.push(std::make_unique<W>(W{2, 6}));
  EXPECT_TRUE(s.remove(top, 0));
  EXPECT_EQ(frontId(s), 1);
  EXPECT_TRUE(s.remove(s.front(), 0));
  EXPECT_EQ(s.front(), nullptr);
}

TEST(WindowStack, TheHomeScreensOverlayLiesOverWhateverIsInFrontAndTakesTouchesWhereItSays) {
  Stack s;
  W* home = s.push(std::make_unique<W>(W{1, kHome}));
  W* overlay = s.push(std::make_unique<W>(W{2, kHome}));
  EXPECT_EQ(frontId(s), 2) << "a new window comes to front until it is named an overlay";
  EXPECT_TRUE(s.makeOverlay(overlay, kHome));
  EXPECT_EQ(frontId(s), 1);
  W* app = s.push(std::make_unique<W>(W{3, 7}));
  W* intruder = s.push(std::make_unique<W>(W{4, 7}));
  EXPECT_FALSE(s.makeOverlay(intruder, kHome)) << "another process's window is never laid over the rest";
  EXPECT_FALSE(s.makeOverlay(home, 0)) << "nor any while the home screen is unknown";
  EXPECT_EQ(frontId(s), 4);
  ASSERT_EQ(s.overlays(), std::vector<W*>{overlay});

  EXPECT_EQ(s.latestOf(kHome), home) << "the home screen's front window is not its overlay";
  EXPECT_TRUE(s.remove(intruder, kHome));
  EXPECT_EQ(frontId(s), 3);
  EXPECT_EQ(s.touched([](const W&) { return true; }), overlay);
  EXPECT_EQ(s.touched([](const W&) { return false; }), app) << "elsewhere the touch goes to the front";
  EXPECT_TRUE(s.remove(app, kHome));
  EXPECT_EQ(frontId(s), 1) << "the app ending leaves the home screen in front, not its overlay";
  EXPECT_FALSE(s.remove(overlay, kHome)) << "the overlay ending leaves the front alone";
  EXPECT_TRUE(s.overlays().empty());
  EXPECT_EQ(s.touched([](const W&) { return true; }), home);
}

}  // namespace
