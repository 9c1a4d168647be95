// The display's requests read from JSON: what is refused.
#include "platform/display/requests.h"

#include <gtest/gtest.h>

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

}  // namespace
