// The home screen's record of what happened: counters for ever, entries
// only for the most recent events.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include "platform/foundation/sound.h"
#include "tests/hook/device_support.h"

namespace calmora::testing {
namespace {

using StatusRecord = HookDevice;

TEST_F(StatusRecord, KeepsCountsOfEveryEventButOnlyTheLastHundredEntriesNewestLast) {
  boot();
  auto& record = board().record();
  const auto before = record.snapshot();
  for (int i = 0; i < 250; ++i) {
    record.soundPlayed(static_cast<uint32_t>(i), "app" + std::to_string(i));
    record.appLaunched("app" + std::to_string(i));
  }
  const QJsonObject status = board().status();
  EXPECT_EQ(status["soundsCount"].toInteger(), static_cast<qint64>(before.soundsCount + 250));
  EXPECT_EQ(status["launchedCount"].toInteger(), static_cast<qint64>(before.launchedCount + 250));
  const QJsonArray sounds = status["sounds"].toArray(), launched = status["launched"].toArray();
  ASSERT_EQ(sounds.size(), 100);
  EXPECT_EQ(sounds.first().toInteger(), 150);
  EXPECT_EQ(sounds.last().toInteger(), 249);
  const QJsonArray players = status["soundProcesses"].toArray();
  ASSERT_EQ(players.size(), 100);
  EXPECT_EQ(players.first().toString(), "app150");
  EXPECT_EQ(players.last().toString(), "app249");
  EXPECT_EQ(launched.size(), 100);
  EXPECT_EQ(launched.last().toString(), "app249");
}

TEST_F(StatusRecord, SoundsReportedByOtherProcessesJoinTheHomeScreensInOrderAndMalformedReportsAreDropped) {
  boot();
  const auto before = board().record().snapshot().soundsCount;
  platform::sound::playSystemSound(1005);
  board().soundReported({{"sound", "1007"}, {"process", "com.apple.Preferences"}});
  for (const char* bad : {"-3", "99999999999", "12x"}) board().soundReported({{"sound", bad}, {"process", "com.a.b"}});
  board().soundReported({{"sound", "1007"}, {"process", "no/bundle id"}});
  const auto snap = board().record().snapshot();
  ASSERT_EQ(snap.soundsCount, before + 2);
  EXPECT_EQ(std::vector<uint32_t>(snap.sounds.end() - 2, snap.sounds.end()), (std::vector<uint32_t>{1005, 1007}));
  EXPECT_EQ(std::vector<std::string>(snap.soundProcesses.end() - 2, snap.soundProcesses.end()),
            (std::vector<std::string>{"com.apple.springboard", "com.apple.Preferences"}));
}

}  // namespace
}  // namespace calmora::testing
