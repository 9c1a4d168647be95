// The home screen's record of what happened: counters for ever, entries
// only for the most recent events.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

using StatusRecord = HookDevice;

TEST_F(StatusRecord, KeepsCountsOfEveryEventButOnlyTheLastHundredEntriesNewestLast) {
  boot();
  auto& record = board().record();
  const auto before = record.snapshot();
  for (int i = 0; i < 250; ++i) {
    record.soundPlayed(static_cast<uint32_t>(i));
    record.appLaunched("app" + std::to_string(i));
  }
  const QJsonObject status = board().status();
  EXPECT_EQ(status["soundsCount"].toInteger(), static_cast<qint64>(before.soundsCount + 250));
  EXPECT_EQ(status["launchedCount"].toInteger(), static_cast<qint64>(before.launchedCount + 250));
  const QJsonArray sounds = status["sounds"].toArray(), launched = status["launched"].toArray();
  ASSERT_EQ(sounds.size(), 100);
  EXPECT_EQ(sounds.first().toInteger(), 150);
  EXPECT_EQ(sounds.last().toInteger(), 249);
  EXPECT_EQ(launched.size(), 100);
  EXPECT_EQ(launched.last().toString(), "app249");
}

}  // namespace
}  // namespace calmora::testing
