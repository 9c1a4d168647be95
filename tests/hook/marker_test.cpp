#include <gtest/gtest.h>

#include <tuple>

#include "common/names.h"
#include "hook/process_state.h"
#include "platform/springboard/runtime_views.h"
#include "platform/uikit/label.h"
#include "tests/hook/device_support.h"

namespace calmora {
namespace {

using platform::plist::Value;
namespace sig = names::signal;

class Marker : public testing::HookDevice {
 protected:
  void bootEnabled(std::function<void(Value&)> edit = {}) {
    auto d = Value::dict();
    d.set("isTweakEnabled", Value::boolean(true));
    if (edit) edit(d);
    boot(d);
    takePosted();
  }
  std::shared_ptr<platform::springboard::RuntimeView> markerLabel() {
    return platform::runtime::as<platform::springboard::RuntimeView>(
        platform::runtime::send<platform::runtime::Id>(board().statusBarWindow(), "label"));
  }
  // The marker as the screen draws it.
  struct State {
    platform::Rect frame;
    double alpha = 0, cornerRadius = 0;
    bool masksToBounds = false;
    std::optional<platform::Color> background;
  };
  static State stateOf(const std::shared_ptr<platform::springboard::RuntimeView>& label) {
    const auto& v = *label->view();
    return State{{v.frame().minX(), v.frame().minY(), v.frame().width(), v.frame().height()},
                 v.alpha(), v.cornerRadius(), v.clipsToBounds(), platform::springboard::hostColor(v.backgroundColor())};
  }
  size_t labelsInWindow() {
    size_t n = 0;
    for (const auto& v : platform::runtime::as<platform::springboard::RuntimeView>(board().statusBarWindow())->view()->subviews())
      if (std::dynamic_pointer_cast<platform::uikit::UILabel>(v)) ++n;
    return n;
  }
};

TEST_F(Marker, DefaultSettingsPlaceARoundRedDotNearTheBottomRightThatShowAndHideDriveInOrder) {
  bootEnabled();
  auto s = stateOf(markerLabel());
  EXPECT_EQ(s.frame, (platform::Rect{356.25, s.frame.y, 10, 10}));
  EXPECT_NEAR(s.frame.y, 633.65, 1e-9);
  EXPECT_EQ(s.cornerRadius, 10.0);
  EXPECT_TRUE(s.masksToBounds);
  EXPECT_NEAR(s.background.value().red, 226 / 255.0, 1e-6);
  // The first appearance found both logs empty and posted hide.
  EXPECT_EQ(s.alpha, 0.0);
  for (auto [first, second, alpha] : {std::tuple{sig::kShow, sig::kShow, 1.0}, {sig::kShow, sig::kHide, 0.0}}) {
    center().post(first, {}, platform::Delivery::Plain);
    center().post(second, {}, platform::Delivery::Plain);
    takePosted();
    EXPECT_EQ(stateOf(markerLabel()).alpha, alpha);
  }
}

TEST_F(Marker, ShowIconRereadsThePositionShowsTheMarkerAndKeepsTheColour) {
  bootEnabled([](Value& d) {
    d.set("color", Value::string("00FF00"));
    d.set("xcoordinates", Value::integer(0));
    d.set("ycoordinates", Value::integer(0));
  });
  EXPECT_EQ(stateOf(markerLabel()).frame, (platform::Rect{0, 0, 10, 10}));
  auto changed = Value::dict();
  changed.set("isTweakEnabled", Value::boolean(true));
  changed.set("color", Value::string("0000FF"));
  changed.set("xcoordinates", Value::string("50"));
  writeSettings(changed);  // y absent: back to 95
  center().post(sig::kShowIcon, {}, platform::Delivery::Plain);
  takePosted();
  auto s = stateOf(markerLabel());
  EXPECT_EQ(s.frame, (platform::Rect{187.5, s.frame.y, 10, 10}));
  EXPECT_NEAR(s.frame.y, 633.65, 1e-9);
  EXPECT_EQ(s.alpha, 1.0);
  EXPECT_NEAR(s.background->green, 1.0, 1e-9);  // the colour is read only at load
  // A further status bar places its label where the signal put the marker.
  board().setStatusBar();
  EXPECT_DOUBLE_EQ(stateOf(markerLabel()).frame.x, 187.5);
}

TEST_F(Marker, AFurtherStatusBarLeavesOnlyTheNewestLabelAndNoExtraObservers) {
  bootEnabled();
  auto first = markerLabel();
  size_t observers = center().observerCount();
  board().setStatusBar();
  board().setStatusBar();
  EXPECT_EQ(center().observerCount(), observers);
  EXPECT_EQ(labelsInWindow(), 1u);
  auto newest = markerLabel();
  EXPECT_EQ(first->view()->superview(), nullptr);
  EXPECT_EQ(markerState().notificationLabel, newest);
  center().post(sig::kShow, {}, platform::Delivery::Plain);
  takePosted();
  EXPECT_EQ(stateOf(newest).alpha, 1.0);
}

TEST_F(Marker, AColourWithoutDigitsGivesAMarkerWithoutBackground) {
  bootEnabled([](Value& d) { d.set("color", Value::string("#XYZ")); });
  EXPECT_FALSE(stateOf(markerLabel()).background.has_value());
  EXPECT_EQ(board().status()["marker"].toObject()["color"].toVariant().isNull(), true);
}

}  // namespace
}  // namespace calmora
