// The display's requests read from JSON: what is refused, and how the
// status bar's rectangles are clipped by the screen.
#include "platform/display/server/requests.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

using namespace platform::display;
namespace verbs = platform::automation::display;

QString refusal(const QJsonObject& answer) { return answer.value("code").toString(); }

TEST(RequestValues, OutOfRangeValuesAreRefused) {
  EXPECT_FALSE(readPointer(verbs::PointerRequest{1, 2, "hover"}));
  auto down = readPointer(verbs::PointerRequest{1, 2, "down"});
  ASSERT_TRUE(down);
  EXPECT_EQ(down->phase, Pointer::Phase::Down);
  EXPECT_EQ(down->at, QPointF(1, 2));
  for (double code : {7.0, 256.0, 8.5e9}) EXPECT_FALSE(readKey(verbs::KeyRequest{code, true})) << code;
  auto key = readKey(verbs::KeyRequest{.code = 255, .down = true, .shift = true, .alt = true});
  ASSERT_TRUE(key);
  EXPECT_EQ(key->held, Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_EQ(refusal(readScale(verbs::ScaleRequest{1.5}).error()), "badArgument");
  EXPECT_EQ(*readScale(verbs::ScaleRequest{2}), 2);
}

TEST(RequestValues, StatusBarRectsAreClippedByTheScreenAndTheirCornersKeptInside) {
  const QSizeF screen(375, 667);
  auto read = readStatusBar(verbs::StatusBarRequest{5, QJsonArray{QJsonArray{0, 0, 375, 20},
                                                                   QJsonArray{300, 620, 40, 30, 100},
                                                                   QJsonArray{350, -10, 50, 30, 8},
                                                                   QJsonArray{400, 700, 10, 10}}},
                            screen);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->pid, 5);
  const std::vector<Area> expected{{QRectF(0, 0, 375, 20), 0},
                                   {QRectF(300, 620, 40, 30), 15},  // the radius at most half the smaller side
                                   {QRectF(350, 0, 25, 20), 0}};    // clipped: its corners are not the view's
  EXPECT_EQ(read->areas, expected) << "and one wholly off the screen is left out";
  EXPECT_FALSE(readStatusBar(verbs::StatusBarRequest{5, QJsonArray{QJsonArray{0, 0, 1}}}, screen));
  QJsonArray many;
  for (size_t i = 0; i <= kMaxStatusBarRects; ++i) many.append(QJsonArray{0, 0, 1, 1});
  EXPECT_FALSE(readStatusBar(verbs::StatusBarRequest{5, many}, screen));
}

}  // namespace
